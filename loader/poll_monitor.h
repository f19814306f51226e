// The first generation's monitor: polls the two print channels of the device
// and feeds their text to the line processor (one console) until the run
// ends.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "console_lines.h"
#include "loader_finish.h"

namespace loader {

/// Bytes fetched from a print channel at most.
inline constexpr uint32_t kFetchCapacity = 512;
/// Idle polling interval in milliseconds.
inline constexpr int kIdlePollMs = 100;

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
  const std::atomic<bool>* user_break = nullptr;
};

struct MonitorResult {
  RunEnd end = RunEnd::kUserBreak;
  int program_status = kNoProgramStatus;
};

/// Polls both print channels until the run ends.
MonitorResult RunMonitor(const MonitorSettings& settings, const MonitorHooks& hooks);

}  // namespace loader
