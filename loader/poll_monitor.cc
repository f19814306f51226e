#include "poll_monitor.h"

namespace loader {

MonitorResult RunMonitor(const MonitorSettings& settings, const MonitorHooks& hooks) {
  MonitorResult result;
  ConsoleSettings console;
  console.line = settings.line;
  console.lap = settings.lap;
  // Both channels print on the one console: a line split across them is one line.
  ConsoleLines lines(console, hooks.write, hooks.elapsed_seconds);
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
      const LineVerdict verdict = lines.Feed(channel, 0, buffer, length);
      if (verdict == LineVerdict::kAbortString) {
        result.end = RunEnd::kAbortString;
        return result;
      }
      if (verdict == LineVerdict::kExitLine) {
        result.end = RunEnd::kExitLine;
        result.program_status = lines.program_status();
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
