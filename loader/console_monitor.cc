#include "console_monitor.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

namespace loader {

std::string FormatLapTime(long long seconds) {
  if (seconds < 0) seconds = 0;
  char text[48];
  std::snprintf(text, sizeof text, "{%lld:%02lld}", seconds / 60, seconds % 60);
  return text;
}

int ParseDecimal(const char* text, bool* out_of_range) {
  if (out_of_range != nullptr) *out_of_range = false;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long long value = 0;
  while (*text >= '0' && *text <= '9') {
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*text - '0');
    ++text;
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) {
    if (out_of_range != nullptr) *out_of_range = true;
    return value > INT_MAX ? INT_MAX : INT_MIN;
  }
  return static_cast<int>(value);
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
      *program_status = ParseDecimal(line.c_str() + kExitPrefixLength);
      return LineVerdict::kExitLine;
    }
    state->line.clear();
    p = end;
  }
  return LineVerdict::kGoesOn;
}

MonitorResult RunMonitor(const MonitorSettings& settings, const MonitorHooks& hooks) {
  MonitorResult result;
  LineState state;
  LineSink sink;
  sink.write = hooks.write;
  sink.line_prefix = [&]() -> std::string {
    if (settings.line.quiet || !settings.lap) return {};
    return FormatLapTime(hooks.elapsed_seconds());
  };
  char buffer[kFetchCapacity + 1];
  long long idle_ms = 0;
  for (;;) {
    if (*hooks.user_break) {
      result.end = RunEnd::kUserBreak;
      return result;
    }
    bool text_arrived = false;
    for (int channel = 0; channel < 2; ++channel) {
      uint32_t length = 0;
      if (!hooks.fetch(channel, buffer, &length) || length > kFetchCapacity) {
        result.end = RunEnd::kFetchFailed;
        return result;
      }
      buffer[length] = '\0';
      if (length == 0) continue;
      text_arrived = true;
      const LineVerdict verdict =
          ProcessText(settings.line, sink, buffer, length, &state, &result.program_status);
      if (verdict == LineVerdict::kAbortString) {
        result.end = RunEnd::kAbortString;
        result.program_status = 200;
        return result;
      }
      if (verdict == LineVerdict::kExitLine) {
        result.end = RunEnd::kExitLine;
        return result;
      }
    }
    if (!text_arrived) {
      hooks.sleep(kIdlePollMs);
      idle_ms += kIdlePollMs;
      if (settings.print_timeout_s > 0 && idle_ms > settings.print_timeout_s * 1000LL) {
        result.end = RunEnd::kPrintTimeout;
        return result;
      }
    } else {
      idle_ms = 0;
    }
    if (settings.exec_timeout_s > 0 && hooks.elapsed_seconds() >= settings.exec_timeout_s) {
      result.end = RunEnd::kExecTimeout;
      return result;
    }
  }
}

}  // namespace loader
