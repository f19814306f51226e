#include "poll_monitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <string>
#include <utility>

namespace {

// A scripted device for the polling loop: texts per cycle, virtual time.
struct FakeDevice {
  std::deque<std::pair<int, std::string>> pending;  // (channel, text) due now
  long long now_ms = 0;
  int sleeps = 0;
  int fetches = 0;
  int fail_at_fetch = 0;
  std::atomic<bool> user_break{false};
  std::string out;

  loader::MonitorHooks Hooks() {
    loader::MonitorHooks h;
    h.fetch = [this](int channel, char* buffer, uint32_t* length) {
      ++fetches;
      if (fetches == fail_at_fetch) return false;
      *length = 0;
      if (!pending.empty() && pending.front().first == channel) {
        const std::string text = pending.front().second;
        pending.pop_front();
        text.copy(buffer, text.size());
        *length = static_cast<uint32_t>(text.size());
      }
      return true;
    };
    h.write = [this](const char* t, size_t n) { out.append(t, n); };
    h.sleep = [this](int ms) {
      ++sleeps;
      now_ms += ms;
    };
    h.elapsed_seconds = [this] { return now_ms / 1000; };
    h.user_break = &user_break;
    return h;
  }
};

// How the monitor ends for `d` with these time-outs (0: none).
loader::RunEnd EndWithTimeouts(FakeDevice* d, int print_timeout_s, int exec_timeout_s) {
  loader::MonitorSettings s;
  s.print_timeout_s = print_timeout_s;
  s.exec_timeout_s = exec_timeout_s;
  return loader::RunMonitor(s, d->Hooks()).end;
}

TEST(Monitor, PrintTimeoutAfterElevenIdleWaits) {
  FakeDevice d;
  EXPECT_EQ(EndWithTimeouts(&d, 1, 0), loader::RunEnd::kPrintTimeout);
  EXPECT_EQ(d.sleeps, 11);
  EXPECT_EQ(d.fetches, 22);
}

TEST(Monitor, TextResetsTheIdleTime) {
  FakeDevice d;
  d.pending = {{0, "a\n"}};
  EXPECT_EQ(EndWithTimeouts(&d, 1, 0), loader::RunEnd::kPrintTimeout);
  EXPECT_EQ(d.sleeps, 11);
  EXPECT_EQ(d.out, "a\n");
}

TEST(Monitor, ExecTimeoutCountsFromTheStart) {
  FakeDevice d;
  EXPECT_EQ(EndWithTimeouts(&d, 0, 2), loader::RunEnd::kExecTimeout);
  EXPECT_EQ(d.sleeps, 20);
}

TEST(Monitor, ExitLineOnChannelOneSkipsNothingBefore) {
  FakeDevice d;
  d.pending = {{0, "zero\n"}, {1, "*** Exit Dravo/Zyr program (status=4)\n"}};
  loader::MonitorSettings s;
  s.lap = true;
  const loader::MonitorResult r = loader::RunMonitor(s, d.Hooks());
  EXPECT_EQ(r.end, loader::RunEnd::kExitLine);
  EXPECT_EQ(r.program_status, 4);
  EXPECT_EQ(d.out, "{0:00}zero\n{0:00}*** Exit Dravo/Zyr program (status=4)\n");
  EXPECT_EQ(d.sleeps, 0);
}

TEST(Monitor, UserBreakAndFetchFailure) {
  FakeDevice broken;
  broken.user_break = 1;
  EXPECT_EQ(loader::RunMonitor({}, broken.Hooks()).end, loader::RunEnd::kUserBreak);
  EXPECT_EQ(broken.fetches, 0);

  FakeDevice failing;
  failing.fail_at_fetch = 2;
  EXPECT_EQ(loader::RunMonitor({}, failing.Hooks()).end, loader::RunEnd::kFetchFailed);
}

}  // namespace
