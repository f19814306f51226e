// The second generation's monitor. The device library pushes the program's
// console output through a print callback, possibly on a thread of its own;
// the relay feeds it to the per-console line processor under one mutex that
// also guards standard output, and raises the flags that the main thread's
// loop polls every 100 ms.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "console_lines.h"
#include "poll_monitor.h"

namespace loader {

/// Consoles of a second-generation program.
inline constexpr int kZyrConsoleCount = 4;

class ZyrRelay {
 public:
  /// Starts accepting text: from now on Receive feeds it to fresh line state.
  void Begin(const ConsoleSettings& settings, std::function<void(const char*, size_t)> write,
             std::function<long long()> elapsed_seconds);
  /// The callback side, on any thread: relays the text unless the relay has
  /// stopped or the run has already ended (the rest is dropped).
  void Receive(int processor, int console, const char* text, size_t length);
  /// Writes text of the loader's own (a progress line) in turn with the
  /// program's.
  void Write(const std::string& text);
  /// Stops accepting text. Once it returns no callback writes any more, so
  /// the caller's closing message comes last.
  void Stop();

  /// Flags for the main thread.
  bool TakeTextReceived() { return text_received_.exchange(false); }
  bool AbortSeen() const { return abort_seen_.load(); }
  bool ExitSeen() const { return exit_seen_.load(); }
  int ProgramStatus() const { return program_status_.load(); }

 private:
  std::mutex mutex_;  // guards lines_, accepting_ and every write
  std::unique_ptr<ConsoleLines> lines_;
  std::function<void(const char*, size_t)> write_;
  bool accepting_ = false;
  std::atomic<bool> text_received_{false};
  std::atomic<bool> abort_seen_{false};
  std::atomic<bool> exit_seen_{false};
  std::atomic<int> program_status_{kNoProgramStatus};
};

struct ZyrWatchSettings {
  int print_timeout_s = 0;  // 0: none
  int exec_timeout_s = 0;   // 0: none
};

struct ZyrWatchHooks {
  std::function<void(int milliseconds)> sleep;
  /// Whole seconds since the program was started.
  std::function<long long()> elapsed_seconds;
  const std::atomic<bool>* user_break = nullptr;
};

/// The main thread's loop: polls the relay's flags until the run ends (user
/// break, abort string, exit line, print or exec time-out). Never holds the
/// relay's mutex, so it never sleeps with it.
RunEnd WatchZyrRun(ZyrRelay* relay, const ZyrWatchSettings& settings, const ZyrWatchHooks& hooks);

}  // namespace loader
