// The console monitor: splits the text a program prints into lines, relays
// it, and recognises the lines that end a run (the abort string and the
// program's exit line). The polling loop of the first generation is here too;
// the second generation drives the line processor from its print callback.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace loader {

/// The line a program prints as it exits, followed by its status.
inline constexpr char kExitPrefix[] = "*** Exit Dravo/Zyr program (status=";
inline constexpr size_t kExitPrefixLength = sizeof kExitPrefix - 1;
/// A line fragment longer than this is forgotten (what was printed stays).
inline constexpr size_t kAccumulatorBound = 512;
/// Bytes fetched from a print channel at most.
inline constexpr uint32_t kFetchCapacity = 512;
/// Idle polling interval in milliseconds.
inline constexpr int kIdlePollMs = 100;

/// Line state of one console.
struct LineState {
  std::string line;  // the current line received so far
  bool at_line_start = true;
};

struct LineSettings {
  bool quiet = false;
  /// Empty: no abort string.
  std::string abort_string;
};

/// Where the line processor's output goes.
struct LineSink {
  /// Writes program text (the caller's standard output).
  std::function<void(const char* text, size_t length)> write;
  /// Text to print before a segment that starts a line (the lap time and any
  /// tags); may be empty. Called only when the segment is at a line start.
  std::function<std::string()> line_prefix;
};

enum class LineVerdict { kGoesOn, kAbortString, kExitLine };

/// Feeds `length` bytes of received text to the console's line state. On
/// kExitLine `*program_status` holds the status read from the exit line; the
/// rest of the text is dropped on either end verdict.
LineVerdict ProcessText(const LineSettings& settings, const LineSink& sink, const char* text, size_t length,
                        LineState* state, int* program_status);

/// The lap time "{m:ss}" for `seconds` elapsed.
std::string FormatLapTime(long long seconds);

/// The C library's integer conversion, clamped to the int range: leading
/// blanks, an optional sign and decimal digits; no digits give 0. When
/// `out_of_range` is given it tells whether the value had to be clamped.
int ParseDecimal(const char* text, bool* out_of_range = nullptr);

struct MonitorSettings {
  LineSettings line;
  bool lap = false;
  int print_timeout_s = 0;  // 0: none
  int exec_timeout_s = 0;   // 0: none
};

/// What the polling loop needs from the outside world.
struct MonitorHooks {
  /// Fetches pending text of a channel; false when the library failed.
  std::function<bool(int channel, char* buffer, uint32_t* length)> fetch;
  std::function<void(const char* text, size_t length)> write;
  std::function<void(int milliseconds)> sleep;
  /// Whole seconds since the program was started.
  std::function<long long()> elapsed_seconds;
  const volatile std::sig_atomic_t* user_break = nullptr;
};

enum class RunEnd {
  kUserBreak,
  kAbortString,
  kExitLine,
  kPrintTimeout,
  kExecTimeout,
  kFetchFailed,
};

struct MonitorResult {
  RunEnd end = RunEnd::kUserBreak;
  int program_status = 200;
};

/// Polls both print channels until the run ends.
MonitorResult RunMonitor(const MonitorSettings& settings, const MonitorHooks& hooks);

}  // namespace loader
