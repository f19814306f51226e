#include "loader_finish.h"

#include <cstdio>

#include "support/file_io.h"
#include "support/platform.h"

namespace loader {
namespace {

std::atomic<bool> g_user_break{false};

}  // namespace

TextSink StandardOutput() {
  return [](const char* text, size_t length) { std::fwrite(text, 1, length, stdout); };
}

int Reporter::Fail(const char* message, int status) const {
  if (before_error) before_error();
  Write(std::string("*** ") + tool_name_ + ": Error: " + message + "\n");
  return status;
}

int ProgramExitStatus(int program_status) {
  if (program_status >= 0 && program_status <= kMaxProgramStatus) return program_status;
  return kStatusProgramOutOfRange;
}

Outcome EndOutcome(RunEnd end, int program_status) {
  switch (end) {
    case RunEnd::kUserBreak:
      return {kStatusUserBreak, StopReason::kUserBreak};
    case RunEnd::kAbortString:
      return {kStatusAborted, StopReason::kAbortString};
    case RunEnd::kExitLine:
      return {ProgramExitStatus(program_status), StopReason::kNone};
    case RunEnd::kPrintTimeout:
      return {kStatusPrintTimeout, StopReason::kPrintTimeout};
    case RunEnd::kExecTimeout:
      return {kStatusExecTimeout, StopReason::kExecTimeout};
    case RunEnd::kFetchFailed:
      break;
  }
  return {kErrorReceive, StopReason::kNone};
}

std::string ClosingLine(const char* tool_name, const Outcome& outcome) {
  // By StopReason, from kNone on.
  static constexpr const char* kHow[] = {nullptr, "user", "aborting string", "print timeout", "exec timeout"};
  const char* how = kHow[static_cast<int>(outcome.reason)];
  if (how == nullptr) return {};
  return std::string("\n*** ") + tool_name + ": stopped by " + how + ".\n";
}

int Finish(const Reporter& reporter, bool quiet, const Outcome& outcome) {
  if (!quiet) reporter.Write(ClosingLine(reporter.tool_name(), outcome));
  const std::string lost = std::string("*** ") + reporter.tool_name() + ": Error: cannot write standard output.\n";
  return support::CloseStdout(outcome.status, lost.c_str());
}

void InstallUserBreak() { support::CatchInterrupt(&g_user_break); }

const std::atomic<bool>& UserBreakFlag() { return g_user_break; }

}  // namespace loader
