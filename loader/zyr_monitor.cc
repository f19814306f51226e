#include "zyr_monitor.h"

#include <utility>

namespace loader {

void ZyrRelay::Begin(const ConsoleSettings& settings, std::function<void(const char*, size_t)> write,
                     std::function<long long()> elapsed_seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  ConsoleSettings consoles = settings;
  consoles.console_count = kZyrConsoleCount;
  write_ = write;
  lines_ = std::make_unique<ConsoleLines>(consoles, std::move(write), std::move(elapsed_seconds));
  text_received_ = false;
  abort_seen_ = false;
  exit_seen_ = false;
  program_status_ = kNoProgramStatus;
  accepting_ = true;
}

void ZyrRelay::Receive(int processor, int console, const char* text, size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!accepting_) return;
  text_received_ = true;
  const LineVerdict verdict = lines_->Feed(processor, console, text, length);
  if (verdict == LineVerdict::kGoesOn) return;
  // The run has ended: what the program prints from now on is dropped.
  accepting_ = false;
  if (verdict == LineVerdict::kAbortString) {
    abort_seen_ = true;
  } else {
    program_status_ = lines_->program_status();
    exit_seen_ = true;
  }
}

void ZyrRelay::Write(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (write_) write_(text.data(), text.size());
}

void ZyrRelay::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  accepting_ = false;
}

RunEnd WatchZyrRun(ZyrRelay* relay, const ZyrWatchSettings& settings, const ZyrWatchHooks& hooks) {
  long long idle_ms = 0;
  for (;;) {
    if (hooks.user_break->load()) return RunEnd::kUserBreak;
    // The abort string wins when both were seen, as on one console's line.
    if (relay->AbortSeen()) return RunEnd::kAbortString;
    if (relay->ExitSeen()) return RunEnd::kExitLine;
    if (!relay->TakeTextReceived()) {
      hooks.sleep(kIdlePollMs);
      idle_ms += kIdlePollMs;
      if (settings.print_timeout_s > 0 && idle_ms > settings.print_timeout_s * 1000LL) {
        return RunEnd::kPrintTimeout;
      }
    } else {
      idle_ms = 0;
    }
    if (settings.exec_timeout_s > 0 && hooks.elapsed_seconds() >= settings.exec_timeout_s) {
      return RunEnd::kExecTimeout;
    }
  }
}

}  // namespace loader
