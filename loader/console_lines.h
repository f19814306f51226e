// The line processor of both loaders: splits the text a program prints into
// lines, relays it with the line prefix (tags and lap time), and recognises
// the lines that end a run (the abort string and the program's exit line).
// A second-generation program prints on several consoles, each with a line
// of its own; the first generation is the one-console case.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace loader {

/// The line a program prints as it exits, followed by its status.
inline constexpr char kExitPrefix[] = "*** Exit Dravo/Zyr program (status=";
inline constexpr size_t kExitPrefixLength = sizeof kExitPrefix - 1;
/// A line fragment longer than this is forgotten (what was printed stays).
inline constexpr size_t kAccumulatorBound = 512;
/// Status of a run whose program printed no exit line.
inline constexpr int kNoProgramStatus = 200;

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

struct ConsoleSettings {
  LineSettings line;
  bool lap = false;
  /// "<A9>"/"<A7>" before each line (processors 0 and 1 only).
  bool architecture_tags = false;
  /// "<n>" before each line, the console number.
  bool console_tags = false;
  /// Consoles 0 to count - 1 have a line each; text for another is dropped.
  int console_count = 1;
};

/// The line prefix: the tag, then the lap time. Quiet mode prints neither.
std::string LinePrefix(const ConsoleSettings& settings, int processor, int console, long long elapsed_s);

/// Every console's line state and the console that printed last. Not
/// thread-safe: the caller serialises Feed with its own writes.
class ConsoleLines {
 public:
  ConsoleLines(const ConsoleSettings& settings, std::function<void(const char*, size_t)> write,
               std::function<long long()> elapsed_seconds);

  /// Feeds one received text. Switching to another console ends the previous
  /// console's line on screen with a line break (its accumulated text stays).
  LineVerdict Feed(int processor, int console, const char* text, size_t length);

  /// The status the exit line gave (kNoProgramStatus until then).
  int program_status() const { return program_status_; }
  const LineState& state(int console) const { return states_[static_cast<size_t>(console)]; }

 private:
  ConsoleSettings settings_;
  std::function<void(const char*, size_t)> write_;
  std::function<long long()> elapsed_seconds_;
  std::vector<LineState> states_;
  int previous_console_ = -1;
  int program_status_ = kNoProgramStatus;
};

}  // namespace loader
