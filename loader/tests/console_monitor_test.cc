#include "console_monitor.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace {

using loader::LineVerdict;

// Runs texts through one line state; collects what is written.
struct Feeder {
  loader::LineSettings settings;
  loader::LineState state;
  std::string out;
  std::string prefix;
  int status = 200;

  LineVerdict Feed(const std::string& text) {
    loader::LineSink sink;
    sink.write = [this](const char* t, size_t n) { out.append(t, n); };
    sink.line_prefix = [this] { return prefix; };
    return loader::ProcessText(settings, sink, text.data(), text.size(), &state, &status);
  }
};

TEST(LineProcessor, RelaysLinesAndFragmentsWithPrefixAtLineStarts) {
  Feeder f;
  f.prefix = "<P>";
  EXPECT_EQ(f.Feed("one\ntw"), LineVerdict::kGoesOn);
  EXPECT_EQ(f.Feed("o\nthree"), LineVerdict::kGoesOn);
  EXPECT_EQ(f.out, "<P>one\n<P>two\n<P>three");
  EXPECT_EQ(f.state.line, "three");
  EXPECT_FALSE(f.state.at_line_start);
}

TEST(LineProcessor, ExitLineGivesItsStatusAndDropsTheRest) {
  Feeder f;
  EXPECT_EQ(f.Feed("*** Exit Dravo/Zyr program (status=3)\nafter\n"), LineVerdict::kExitLine);
  EXPECT_EQ(f.status, 3);
  EXPECT_EQ(f.out, "*** Exit Dravo/Zyr program (status=3)\n");

  Feeder no_digits;
  EXPECT_EQ(no_digits.Feed("*** Exit Dravo/Zyr program (status=)\n"), LineVerdict::kExitLine);
  EXPECT_EQ(no_digits.status, 0);

  Feeder negative;
  EXPECT_EQ(negative.Feed("*** Exit Dravo/Zyr program (status= -12x\n"), LineVerdict::kExitLine);
  EXPECT_EQ(negative.status, -12);
}

TEST(LineProcessor, ExitLineSplitOverFetchesIsFoundButNotAfterOtherText) {
  Feeder f;
  EXPECT_EQ(f.Feed("*** Exit Dravo/Zyr pro"), LineVerdict::kGoesOn);
  EXPECT_EQ(f.Feed("gram (status=7)\n"), LineVerdict::kExitLine);
  EXPECT_EQ(f.status, 7);

  Feeder g;
  EXPECT_EQ(g.Feed("x*** Exit Dravo/Zyr program (status=7)\n"), LineVerdict::kGoesOn);
  EXPECT_EQ(g.status, 200);
}

TEST(LineProcessor, AbortStringWinsOverTheExitLine) {
  Feeder f;
  f.settings.abort_string = "***";
  EXPECT_EQ(f.Feed("*** Exit Dravo/Zyr program (status=3)\n"), LineVerdict::kAbortString);
  EXPECT_EQ(f.status, 200);
}

TEST(LineProcessor, LongFragmentIsForgottenAtTheBound) {
  Feeder kept;
  kept.settings.abort_string = "STOP";
  EXPECT_EQ(kept.Feed("STOP" + std::string(508, 'x')), LineVerdict::kGoesOn);  // 512: kept
  EXPECT_EQ(kept.Feed("\n"), LineVerdict::kAbortString);

  Feeder forgotten;
  forgotten.settings.abort_string = "STOP";
  EXPECT_EQ(forgotten.Feed("STOP" + std::string(509, 'x')), LineVerdict::kGoesOn);  // 513: emptied
  EXPECT_TRUE(forgotten.state.line.empty());
  EXPECT_EQ(forgotten.Feed("\n"), LineVerdict::kGoesOn);
  EXPECT_EQ(forgotten.out, "STOP" + std::string(509, 'x') + "\n");
}

TEST(LineProcessor, QuietWritesNothingButStillEnds) {
  Feeder f;
  f.settings.quiet = true;
  EXPECT_EQ(f.Feed("hello\n*** Exit Dravo/Zyr program (status=9)\n"), LineVerdict::kExitLine);
  EXPECT_EQ(f.status, 9);
  EXPECT_EQ(f.out, "");
}

TEST(LineProcessor, NulInsideTextIsRelayed) {
  Feeder f;
  EXPECT_EQ(f.Feed(std::string("a\0b\n", 4)), LineVerdict::kGoesOn);
  EXPECT_EQ(f.out, std::string("a\0b\n", 4));
}

TEST(MonitorHelpers, LapTimeAndDecimal) {
  EXPECT_EQ(loader::FormatLapTime(0), "{0:00}");
  EXPECT_EQ(loader::FormatLapTime(75), "{1:15}");
  EXPECT_EQ(loader::FormatLapTime(6000), "{100:00}");
  EXPECT_EQ(loader::ParseDecimal("  +42)"), 42);
  EXPECT_EQ(loader::ParseDecimal("abc"), 0);
  EXPECT_EQ(loader::ParseDecimal("99999999999999999999"), 2147483647);
  EXPECT_EQ(loader::ParseDecimal("-99999999999999999999"), -2147483647 - 1);
  bool out_of_range = true;
  EXPECT_EQ(loader::ParseDecimal("2147483647", &out_of_range), 2147483647);
  EXPECT_FALSE(out_of_range);
  EXPECT_EQ(loader::ParseDecimal("-2147483648", &out_of_range), -2147483647 - 1);
  EXPECT_FALSE(out_of_range);
  EXPECT_EQ(loader::ParseDecimal("2147483648", &out_of_range), 2147483647);
  EXPECT_TRUE(out_of_range);
  EXPECT_EQ(loader::ParseDecimal(" -2147483649", &out_of_range), -2147483647 - 1);
  EXPECT_TRUE(out_of_range);
}

// A scripted device for the polling loop: texts per cycle, virtual time.
struct FakeDevice {
  std::deque<std::pair<int, std::string>> pending;  // (channel, text) due now
  long long now_ms = 0;
  int sleeps = 0;
  int fetches = 0;
  int fail_at_fetch = 0;
  volatile std::sig_atomic_t user_break = 0;
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

TEST(Monitor, PrintTimeoutAfterElevenIdleWaits) {
  FakeDevice d;
  loader::MonitorSettings s;
  s.print_timeout_s = 1;
  EXPECT_EQ(loader::RunMonitor(s, d.Hooks()).end, loader::RunEnd::kPrintTimeout);
  EXPECT_EQ(d.sleeps, 11);
  EXPECT_EQ(d.fetches, 22);
}

TEST(Monitor, TextResetsTheIdleTime) {
  FakeDevice d;
  d.pending = {{0, "a\n"}};
  loader::MonitorSettings s;
  s.print_timeout_s = 1;
  EXPECT_EQ(loader::RunMonitor(s, d.Hooks()).end, loader::RunEnd::kPrintTimeout);
  EXPECT_EQ(d.sleeps, 11);
  EXPECT_EQ(d.out, "a\n");
}

TEST(Monitor, ExecTimeoutCountsFromTheStart) {
  FakeDevice d;
  loader::MonitorSettings s;
  s.exec_timeout_s = 2;
  EXPECT_EQ(loader::RunMonitor(s, d.Hooks()).end, loader::RunEnd::kExecTimeout);
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
