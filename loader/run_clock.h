// Time as the loaders see it: the settling waits around a reset, the idle
// polling sleep and the seconds elapsed since the program was started.
//
// Two environment variables exist for tests only, read once by
// ReadRunClockSettings:
//   BOOTCAST_TEST_TIME_OFFSET=SECONDS  adds SECONDS to every elapsed time, so a
//                                      lap time or an exec time-out far in the
//                                      run can be checked at once;
//   BOOTCAST_TEST_SETTLE_MS=MS         replaces the 1000 ms settling waits.
// The idle polling interval is never changed.
#pragma once

#include <atomic>

namespace loader {

struct RunClockSettings {
  long long elapsed_offset_s = 0;
  int settle_ms = 1000;
};

/// The settings from the environment (defaults when unset or malformed).
RunClockSettings ReadRunClockSettings();

class RunClock {
 public:
  explicit RunClock(const RunClockSettings& settings) : settings_(settings) {}

  /// Waits the settling time of a reset.
  void Settle() const;
  /// Sleeps `milliseconds`.
  static void Sleep(int milliseconds);
  /// Records the start of the program.
  void Start();
  /// Whole seconds since Start() (plus the test offset); 0 before Start(),
  /// so text printed while the image is still being started is at time 0.
  /// Safe to call on any thread.
  long long ElapsedSeconds() const;

 private:
  static constexpr long long kNotStarted = -1;
  RunClockSettings settings_;
  std::atomic<long long> start_ms_{kNotStarted};
};

}  // namespace loader
