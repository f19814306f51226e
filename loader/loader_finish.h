// How a loader's run ends: the outcome that flows back to the one finish in
// each main, and the closing line that names it.
#pragma once

#include <atomic>
#include <string>

namespace loader {

/// Why a run was stopped from outside the program, if it was.
enum class StopReason { kNone, kUserBreak, kAbortString, kPrintTimeout, kExecTimeout };

/// Exit status and stop reason of a run (or of a query that ended it).
struct Outcome {
  int status = 0;
  StopReason reason = StopReason::kNone;
};

/// The closing line for `outcome`, "\n*** <tool>: stopped by ...\n", or an
/// empty text when the run ended by itself (exit line, query, error). The
/// reason names how the run really ended, so a program whose own exit status
/// happens to be 204 gets no "stopped by print timeout".
std::string ClosingLine(const char* tool_name, const Outcome& outcome);

/// Installs the interrupt handler: from then on Ctrl-C only sets the flag
/// that UserBreakFlag() returns.
void InstallUserBreak();
/// The user-break flag (lock-free, so the handler may set it on any thread).
const std::atomic<bool>& UserBreakFlag();

}  // namespace loader
