// How a loader's run ends, for both generations: the error path, the outcome
// that flows back to the one finish, the exit status the shell sees and the
// closing line that names how the run ended.
#pragma once

#include <atomic>
#include <climits>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>

namespace loader {

/// The exit statuses; `using namespace loader::statuses` in a main.
inline namespace statuses {

/// ParseArgs: the run goes on (every real status, negative ones too, ends).
inline constexpr int kGoOn = INT_MIN;

// Statuses of an error stop.
inline constexpr int kErrorDevices = -1;
inline constexpr int kErrorOption = -2;
inline constexpr int kErrorValue = -3;
inline constexpr int kErrorInput = -4;
inline constexpr int kErrorConnect = -5;
inline constexpr int kErrorCartridge = -6;
inline constexpr int kErrorCard = -7;
inline constexpr int kErrorReceive = -8;
inline constexpr int kErrorLoad = -9;
inline constexpr int kErrorLibrary = -10;

// Statuses of a normal end.
inline constexpr int kStatusAborted = 200;
inline constexpr int kStatusVersion = 201;
inline constexpr int kStatusUsage = 202;
inline constexpr int kStatusList = 203;
inline constexpr int kStatusPrintTimeout = 204;
inline constexpr int kStatusExecTimeout = 205;
inline constexpr int kStatusUserBreak = 206;
inline constexpr int kStatusDebuggerVersion = 207;
/// The program's exit line gave a status outside 0 to 199.
inline constexpr int kStatusProgramOutOfRange = 208;
/// The highest status a program's exit line hands on as it is.
inline constexpr int kMaxProgramStatus = 199;

}  // namespace statuses

/// How the monitor of either generation saw the run end.
enum class RunEnd {
  kUserBreak,
  kAbortString,
  kExitLine,
  kPrintTimeout,
  kExecTimeout,
  kFetchFailed,
};

/// Why a run was stopped from outside the program, if it was (the closing
/// line's words are in this order).
enum class StopReason { kNone, kUserBreak, kAbortString, kPrintTimeout, kExecTimeout };

/// Exit status and stop reason of a run (or of a query that ended it).
struct Outcome {
  int status = 0;
  StopReason reason = StopReason::kNone;
};

/// Where a loader's text goes (standard output in the programs).
using TextSink = std::function<void(const char* text, size_t length)>;

/// Writes to standard output.
TextSink StandardOutput();

/// The loader's own text and its error path: every error is printed as
/// "*** <tool>: Error: <message>\n" and ends the run with its status.
class Reporter {
 public:
  Reporter(const char* tool_name, TextSink write) : tool_name_(tool_name), write_(std::move(write)) {}

  const char* tool_name() const { return tool_name_; }
  /// Where the text goes (also the program's output).
  const TextSink& sink() const { return write_; }
  void Write(const std::string& text) const { write_(text.data(), text.size()); }
  /// Prints the error message (after `before_error`) and returns `status`.
  int Fail(const char* message, int status) const;
  Outcome FailRun(const char* message, int status) const { return {Fail(message, status), StopReason::kNone}; }

  /// Called before each error message, when set.
  std::function<void()> before_error;

 private:
  const char* tool_name_;
  TextSink write_;
};

/// Exit status for a program that ended with `program_status`: 0 to 199 as
/// they are; every other value (negative, or 200 and above, which the shell
/// would see modulo 256 or mistake for the loader's own statuses) gives
/// kStatusProgramOutOfRange, so that a failing program never passes.
int ProgramExitStatus(int program_status);

/// The outcome of a run whose monitor ended with `end` (the program's status
/// counts for kExitLine only). A failed fetch gives its error status; the
/// caller prints the message.
Outcome EndOutcome(RunEnd end, int program_status);

/// The closing line for `outcome`, "\n*** <tool>: stopped by ...\n", or an
/// empty text when the run ended by itself (exit line, query, error). The
/// reason names how the run really ended, so a program whose own status
/// happens to be 204 gets no "stopped by print timeout".
std::string ClosingLine(const char* tool_name, const Outcome& outcome);

/// The finish of both loaders, once the device library is released: the
/// closing line unless `quiet`, then the exit status. A lost standard output
/// fails a run that would otherwise report success.
int Finish(const Reporter& reporter, bool quiet, const Outcome& outcome);

/// Installs the interrupt handler: from then on Ctrl-C only sets the flag
/// that UserBreakFlag() returns.
void InstallUserBreak();
/// The user-break flag (lock-free, so the handler may set it on any thread).
const std::atomic<bool>& UserBreakFlag();

}  // namespace loader
