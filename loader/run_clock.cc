#include "run_clock.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/text_parse.h"

namespace loader {
namespace {

// Elapsed times come from a monotonic clock, so a change of the wall clock
// during a run neither fires nor delays a time-out.
long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool ReadNumber(const char* name, long long low, long long high, long long* value) {
  const char* text = std::getenv(name);
  return text != nullptr && support::ParseDecimalStrict(text, low, high, value);
}

}  // namespace

RunClockSettings ReadRunClockSettings() {
  RunClockSettings settings;
  long long value = 0;
  if (ReadNumber("BOOTCAST_TEST_TIME_OFFSET", 0, 1LL << 40, &value)) settings.elapsed_offset_s = value;
  if (ReadNumber("BOOTCAST_TEST_SETTLE_MS", 0, 1000, &value)) settings.settle_ms = static_cast<int>(value);
  return settings;
}

void RunClock::Settle() const { Sleep(settings_.settle_ms); }

void RunClock::Sleep(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void RunClock::Start() { start_ms_.store(NowMs()); }

long long RunClock::ElapsedSeconds() const {
  const long long start = start_ms_.load();
  if (start == kNotStarted) return 0;
  return (NowMs() - start) / 1000 + settings_.elapsed_offset_s;
}

}  // namespace loader
