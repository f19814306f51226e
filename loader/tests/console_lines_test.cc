#include "console_lines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/text_parse.h"

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

// The line processor written out step by step over fixed buffers, as the
// monitor describes it: the reference for the randomized comparison below.
struct ReferenceLines {
  bool quiet = false;
  bool lap = false;
  const char* abort_string = nullptr;  // null: none
  char accumulator[1028] = {};
  size_t end = 0;
  bool at_line_start = true;
  int status = 200;
  int emptied = 0;  // times the bound emptied the accumulator
  std::string out;

  // 0 goes on, 1 abort string, 2 exit line.
  int Process(const char* text, size_t n) {
    const char* p = text;
    const char* const stop = text + n;
    while (p < stop) {
      const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(stop - p)));
      if (newline == nullptr) {
        const size_t rest = static_cast<size_t>(stop - p);
        if (end + rest >= sizeof accumulator) std::abort();
        std::memcpy(accumulator + end, p, rest);
        end += rest;
        if (!quiet && at_line_start && lap) out += "{0:07}";
        at_line_start = false;
        if (!quiet) out.append(p, rest);
        if (end > 512) {
          end = 0;
          ++emptied;
        }
        return 0;
      }
      const size_t segment = static_cast<size_t>(newline + 1 - p);
      if (end + segment >= sizeof accumulator) std::abort();
      std::memcpy(accumulator + end, p, segment);
      end += segment;
      accumulator[end] = '\0';
      if (!quiet && at_line_start && lap) out += "{0:07}";
      at_line_start = true;
      if (!quiet) out.append(p, segment);
      if (abort_string != nullptr && std::strncmp(accumulator, abort_string, std::strlen(abort_string)) == 0) {
        return 1;
      }
      if (std::strncmp(accumulator, "*** Exit Dravo/Zyr program (status=", 35) == 0) {
        status = std::atoi(accumulator + 35);
        return 2;
      }
      end = 0;
      p = newline + 1;
    }
    return 0;
  }
};

TEST(LineProcessor, MatchesTheStepByStepReferenceOnRandomFetches) {
  const std::vector<std::string> words = {"*** Exit Dravo/Zyr program (status=",
                                          "*** Exit Dravo/Zyr pro",
                                          "gram (status=",
                                          "***",
                                          "*",
                                          "STOP",
                                          "12)",
                                          " -7",
                                          "x",
                                          " ",
                                          "\n",
                                          "\n",
                                          "\n"};
  std::mt19937 rng(20080918);
  int verdicts[3] = {};
  int emptied = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string stream;
    const int pieces = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < pieces; ++i) {
      if (rng() % 8 == 0) {
        stream += std::string(rng() % 700, 'x');
      } else {
        stream += words[rng() % words.size()];
      }
    }
    Feeder f;
    ReferenceLines ref;
    f.settings.quiet = ref.quiet = rng() % 4 == 0;
    ref.lap = rng() % 2 == 0;
    f.prefix = ref.lap && !ref.quiet ? "{0:07}" : "";
    const unsigned abort_choice = rng() % 4;
    const char* abort_strings[] = {nullptr, "***", "STOP", "*** Exit Dravo/Zyr program (status=12)"};
    ref.abort_string = abort_strings[abort_choice];
    if (ref.abort_string != nullptr) f.settings.abort_string = ref.abort_string;

    int ref_verdict = 0;
    LineVerdict verdict = LineVerdict::kGoesOn;
    size_t pos = 0;
    while (pos < stream.size() && ref_verdict == 0) {
      const size_t length = std::min<size_t>(stream.size() - pos, 1 + rng() % 512);
      const std::string fetch = stream.substr(pos, length);
      pos += length;
      ref_verdict = ref.Process(fetch.c_str(), fetch.size());
      verdict = f.Feed(fetch);
      ASSERT_EQ(static_cast<int>(verdict), ref_verdict) << "round " << round;
      ASSERT_EQ(f.state.at_line_start, ref.at_line_start) << "round " << round;
      if (ref_verdict == 0) {
        ASSERT_EQ(f.state.line, std::string(ref.accumulator, ref.end)) << "round " << round;
      }
    }
    ASSERT_EQ(f.out, ref.out) << "round " << round;
    if (ref_verdict == 2) {
      ASSERT_EQ(f.status, ref.status) << "round " << round;
    }
    ++verdicts[ref_verdict];
    emptied += ref.emptied;
  }
  // Every way a text can end was met often.
  EXPECT_GT(verdicts[0], 300);
  EXPECT_GT(verdicts[1], 300);
  EXPECT_GT(verdicts[2], 300);
  EXPECT_GT(emptied, 30);
}

TEST(MonitorHelpers, LapTimeAndDecimal) {
  EXPECT_EQ(loader::FormatLapTime(0), "{0:00}");
  EXPECT_EQ(loader::FormatLapTime(75), "{1:15}");
  EXPECT_EQ(loader::FormatLapTime(6000), "{100:00}");
  EXPECT_EQ(support::ParseIntPrefix("  +42)"), 42);
  EXPECT_EQ(support::ParseIntPrefix("abc"), 0);
  EXPECT_EQ(support::ParseIntPrefix("99999999999999999999"), 2147483647);
  EXPECT_EQ(support::ParseIntPrefix("-99999999999999999999"), -2147483647 - 1);
  bool out_of_range = true;
  EXPECT_EQ(support::ParseIntPrefix("2147483647", &out_of_range), 2147483647);
  EXPECT_FALSE(out_of_range);
  EXPECT_EQ(support::ParseIntPrefix("-2147483648", &out_of_range), -2147483647 - 1);
  EXPECT_FALSE(out_of_range);
  EXPECT_EQ(support::ParseIntPrefix("2147483648", &out_of_range), 2147483647);
  EXPECT_TRUE(out_of_range);
  EXPECT_EQ(support::ParseIntPrefix(" -2147483649", &out_of_range), -2147483647 - 1);
  EXPECT_TRUE(out_of_range);
}

// Several consoles, as the second generation prints them.
struct Consoles {
  loader::ConsoleSettings settings;
  std::string out;
  long long now_s = 75;

  loader::ConsoleLines Make() {
    settings.console_count = 4;
    return loader::ConsoleLines(
        settings, [this](const char* t, size_t n) { out.append(t, n); }, [this] { return now_s; });
  }
};

TEST(ConsoleLines, SwitchBreaksTheLineAndEachConsoleKeepsItsOwn) {
  Consoles c;
  c.settings.console_tags = true;
  loader::ConsoleLines lines = c.Make();
  EXPECT_EQ(lines.Feed(0, 0, "*** Exit Dravo/Zyr pro", 22), LineVerdict::kGoesOn);
  EXPECT_EQ(lines.Feed(0, 1, "one\n", 4), LineVerdict::kGoesOn);
  EXPECT_EQ(lines.Feed(0, 1, "two\n", 4), LineVerdict::kGoesOn);
  EXPECT_EQ(lines.Feed(0, 0, "gram (status=5)\n", 16), LineVerdict::kExitLine);
  EXPECT_EQ(lines.program_status(), 5);
  EXPECT_EQ(c.out, "<0>*** Exit Dravo/Zyr pro\n<1>one\n<1>two\n\n<0>gram (status=5)\n");
}

TEST(ConsoleLines, ConsolesOutsideTheFourAreDropped) {
  Consoles c;
  loader::ConsoleLines lines = c.Make();
  EXPECT_EQ(lines.Feed(0, 2, "a", 1), LineVerdict::kGoesOn);
  EXPECT_EQ(lines.Feed(0, 4, "*** Exit Dravo/Zyr program (status=1)\n", 38), LineVerdict::kGoesOn);
  EXPECT_EQ(lines.Feed(0, -1, "x\n", 2), LineVerdict::kGoesOn);
  // The dropped text was no switch: console 2 goes on with its line.
  EXPECT_EQ(lines.Feed(0, 2, "b\n", 2), LineVerdict::kGoesOn);
  EXPECT_EQ(c.out, "ab\n");
}

TEST(ConsoleLines, QuietHidesTagsAndSwitchBreaksButStillEnds) {
  Consoles c;
  c.settings.line.quiet = true;
  c.settings.lap = c.settings.architecture_tags = c.settings.console_tags = true;
  c.settings.line.abort_string = "STOP";
  loader::ConsoleLines lines = c.Make();
  EXPECT_EQ(lines.Feed(0, 0, "a", 1), LineVerdict::kGoesOn);
  EXPECT_EQ(lines.Feed(1, 3, "STOP\n", 5), LineVerdict::kAbortString);
  EXPECT_EQ(c.out, "");
}

TEST(ConsoleLines, TagsThenLapTime) {
  loader::ConsoleSettings s;
  EXPECT_EQ(loader::LinePrefix(s, 0, 0, 75), "");
  s.lap = true;
  EXPECT_EQ(loader::LinePrefix(s, 0, 0, 75), "{1:15}");
  s.architecture_tags = true;
  EXPECT_EQ(loader::LinePrefix(s, 0, 2, 75), "<A9>{1:15}");
  EXPECT_EQ(loader::LinePrefix(s, 2, 2, 75), "{1:15}");
  s.console_tags = true;
  s.lap = false;
  EXPECT_EQ(loader::LinePrefix(s, 1, 1, 75), "<A7:1>");
  EXPECT_EQ(loader::LinePrefix(s, 5, 3, 75), "<3>");
  s.architecture_tags = false;
  EXPECT_EQ(loader::LinePrefix(s, 1, 2, 75), "<2>");
}

}  // namespace
