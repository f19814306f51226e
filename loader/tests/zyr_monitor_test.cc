#include "zyr_monitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct Screen {
  std::string out;  // written under the relay's mutex only
  std::function<void(const char*, size_t)> Writer() {
    return [this](const char* t, size_t n) { out.append(t, n); };
  }
};

TEST(ZyrRelay, DropsWhatComesAfterTheEndOrAfterStop) {
  Screen screen;
  loader::ZyrRelay relay;
  loader::ConsoleSettings settings;
  relay.Begin(settings, screen.Writer(), [] { return 0LL; });
  relay.Receive(0, 0, "*** Exit Dravo/Zyr program (status=4)\nlost\n", 43);
  relay.Receive(0, 1, "lost too\n", 9);
  EXPECT_TRUE(relay.ExitSeen());
  EXPECT_FALSE(relay.AbortSeen());
  EXPECT_EQ(relay.ProgramStatus(), 4);
  EXPECT_EQ(screen.out, "*** Exit Dravo/Zyr program (status=4)\n");

  Screen stopped;
  relay.Begin(settings, stopped.Writer(), [] { return 0LL; });
  EXPECT_FALSE(relay.ExitSeen());
  relay.Stop();
  relay.Receive(0, 0, "late\n", 5);
  EXPECT_FALSE(relay.TakeTextReceived());
  EXPECT_EQ(stopped.out, "");
}

TEST(ZyrWatch, TextDuringAWaitRestartsTheIdleTime) {
  loader::ZyrRelay relay;
  Screen screen;
  relay.Begin({}, screen.Writer(), [] { return 0LL; });
  std::atomic<bool> user_break{false};
  int sleeps = 0;
  loader::ZyrWatchHooks hooks;
  hooks.sleep = [&](int) {
    if (++sleeps == 5) relay.Receive(1, 2, "tick\n", 5);
  };
  hooks.elapsed_seconds = [&] { return sleeps / 10LL; };
  hooks.user_break = &user_break;
  EXPECT_EQ(loader::WatchZyrRun(&relay, {1, 0}, hooks), loader::RunEnd::kPrintTimeout);
  EXPECT_EQ(sleeps, 16);
  EXPECT_EQ(screen.out, "tick\n");

  sleeps = 0;
  EXPECT_EQ(loader::WatchZyrRun(&relay, {0, 3}, hooks), loader::RunEnd::kExecTimeout);
  EXPECT_EQ(sleeps, 30);
  user_break = true;
  EXPECT_EQ(loader::WatchZyrRun(&relay, {0, 3}, hooks), loader::RunEnd::kUserBreak);
}

// The library's thread prints on every console while the main thread polls
// and writes lines of its own: no line is torn, and the exit line ends it.
TEST(ZyrWatch, CallbacksOnAnotherThread) {
  loader::ZyrRelay relay;
  Screen screen;
  relay.Begin({}, screen.Writer(), [] { return 0LL; });
  std::thread library([&relay] {
    for (int i = 0; i < 2000; ++i) relay.Receive(i % 2, i % 4, "line\n", 5);
    relay.Receive(0, 0, "*** Exit Dravo/Zyr program (status=8)\n", 38);
    relay.Receive(0, 0, "after\n", 6);
  });
  std::atomic<bool> user_break{false};
  loader::ZyrWatchHooks hooks;
  hooks.sleep = [&](int) { relay.Write("own line\n"); };
  hooks.elapsed_seconds = [] { return 0LL; };
  hooks.user_break = &user_break;
  EXPECT_EQ(loader::WatchZyrRun(&relay, {}, hooks), loader::RunEnd::kExitLine);
  library.join();
  relay.Stop();
  EXPECT_EQ(relay.ProgramStatus(), 8);
  EXPECT_EQ(screen.out.find("after"), std::string::npos);
  EXPECT_EQ(screen.out.find("lin\n"), std::string::npos);
}

}  // namespace
