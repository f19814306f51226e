#include "loader_finish.h"

#include <csignal>
#include <cstring>

namespace loader {
namespace {

std::atomic<bool> g_user_break{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt handler sets the flag");

void OnInterrupt(int) { g_user_break.store(true); }

}  // namespace

std::string ClosingLine(const char* tool_name, const Outcome& outcome) {
  const char* how = nullptr;
  switch (outcome.reason) {
    case StopReason::kUserBreak:
      how = "user";
      break;
    case StopReason::kPrintTimeout:
      how = "print timeout";
      break;
    case StopReason::kExecTimeout:
      how = "exec timeout";
      break;
    case StopReason::kAbortString:
      how = "aborting string";
      break;
    case StopReason::kNone:
      return {};
  }
  return std::string("\n*** ") + tool_name + ": stopped by " + how + ".\n";
}

void InstallUserBreak() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  // Restarted calls keep a break from cutting a write of program text short.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

const std::atomic<bool>& UserBreakFlag() { return g_user_break; }

}  // namespace loader
