#include "console_lines.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "support/text_parse.h"

namespace loader {

std::string FormatLapTime(long long seconds) {
  if (seconds < 0) seconds = 0;
  char text[48];
  std::snprintf(text, sizeof text, "{%lld:%02lld}", seconds / 60, seconds % 60);
  return text;
}

LineVerdict ProcessText(const LineSettings& settings, const LineSink& sink, const char* text, size_t length,
                        LineState* state, int* program_status) {
  size_t p = 0;
  while (p < length) {
    const void* found = std::memchr(text + p, '\n', length - p);
    if (found == nullptr) {
      const size_t rest = length - p;
      state->line.append(text + p, rest);
      if (state->at_line_start) {
        const std::string prefix = sink.line_prefix();
        if (!prefix.empty()) sink.write(prefix.data(), prefix.size());
      }
      state->at_line_start = false;
      if (!settings.quiet) sink.write(text + p, rest);
      if (state->line.size() > kAccumulatorBound) state->line.clear();
      return LineVerdict::kGoesOn;
    }
    const size_t end = static_cast<size_t>(static_cast<const char*>(found) - text) + 1;
    state->line.append(text + p, end - p);
    if (state->at_line_start) {
      const std::string prefix = sink.line_prefix();
      if (!prefix.empty()) sink.write(prefix.data(), prefix.size());
    }
    state->at_line_start = true;
    if (!settings.quiet) sink.write(text + p, end - p);

    const std::string& line = state->line;
    if (!settings.abort_string.empty() &&
        line.compare(0, settings.abort_string.size(), settings.abort_string) == 0) {
      return LineVerdict::kAbortString;
    }
    if (line.compare(0, kExitPrefixLength, kExitPrefix) == 0) {
      // The line may hold a NUL from the program; the number stops there anyway.
      *program_status = support::ParseIntPrefix(line.c_str() + kExitPrefixLength);
      return LineVerdict::kExitLine;
    }
    state->line.clear();
    p = end;
  }
  return LineVerdict::kGoesOn;
}

std::string LinePrefix(const ConsoleSettings& settings, int processor, int console, long long elapsed_s) {
  if (settings.line.quiet) return {};
  std::string prefix;
  static constexpr const char* kArchitectures[] = {"A9", "A7"};
  const bool architecture = settings.architecture_tags && (processor == 0 || processor == 1);
  char tag[48];
  if (architecture && settings.console_tags) {
    std::snprintf(tag, sizeof tag, "<%s:%d>", kArchitectures[processor], console);
    prefix = tag;
  } else if (architecture) {
    std::snprintf(tag, sizeof tag, "<%s>", kArchitectures[processor]);
    prefix = tag;
  } else if (settings.console_tags) {
    std::snprintf(tag, sizeof tag, "<%d>", console);
    prefix = tag;
  }
  if (settings.lap) prefix += FormatLapTime(elapsed_s);
  return prefix;
}

ConsoleLines::ConsoleLines(const ConsoleSettings& settings, std::function<void(const char*, size_t)> write,
                           std::function<long long()> elapsed_seconds)
    : settings_(settings),
      write_(std::move(write)),
      elapsed_seconds_(std::move(elapsed_seconds)),
      states_(static_cast<size_t>(settings.console_count > 0 ? settings.console_count : 1)) {}

LineVerdict ConsoleLines::Feed(int processor, int console, const char* text, size_t length) {
  // A console without a line of its own: its text is neither shown nor
  // tested, and the run goes on.
  if (console < 0 || static_cast<size_t>(console) >= states_.size()) return LineVerdict::kGoesOn;
  if (previous_console_ >= 0 && previous_console_ != console) {
    states_[static_cast<size_t>(previous_console_)].at_line_start = true;
    if (!settings_.line.quiet) write_("\n", 1);
  }
  previous_console_ = console;
  LineSink sink;
  sink.write = write_;
  sink.line_prefix = [&]() {
    // The clock is read only when a lap time is printed.
    const long long elapsed = settings_.lap && !settings_.line.quiet ? elapsed_seconds_() : 0;
    return LinePrefix(settings_, processor, console, elapsed);
  };
  return ProcessText(settings_.line, sink, text, length, &states_[static_cast<size_t>(console)],
                     &program_status_);
}

}  // namespace loader
