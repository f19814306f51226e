#include "support/gnu_getopt.h"

#include <getopt.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

const option kLongOptions[] = {
    {"alpha", no_argument, nullptr, 'a'},  {"beta", required_argument, nullptr, 'b'},
    {"bet", optional_argument, nullptr, 'B'}, {"gamma", optional_argument, nullptr, 'g'},
    {"gambit", no_argument, nullptr, 'G'}, {"alps", no_argument, nullptr, 'a'},
    {nullptr, 0, nullptr, 0},
};

// What a whole scan gives: each step's code, optind, optarg and optopt, the
// option index, the argv order at the end and the diagnostics.
struct Scan {
  std::string steps;
  std::string order;
  std::string errors;
  bool operator==(const Scan& other) const {
    return steps == other.steps && order == other.order && errors == other.errors;
  }
};

std::ostream& operator<<(std::ostream& out, const Scan& scan) {
  return out << "steps:\n" << scan.steps << "order: " << scan.order << "\nerrors:\n" << scan.errors;
}

// Scans `args` (argv[0] first) with `next`, a step of one scanner.
template <typename Step>
Scan Run(std::vector<std::string> args, Step next) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  Scan scan;
  testing::internal::CaptureStderr();
  for (int guard = 0; guard < 64; ++guard) {
    int index = -1;
    int optind_after = 0;
    const char* arg = nullptr;
    int opt = 0;
    const int code = next(static_cast<int>(args.size()), argv.data(), &index, &optind_after, &arg, &opt);
    // optopt tells something only after an error.
    const bool error = code == '?' || code == ':';
    scan.steps += std::to_string(code) + " " + std::to_string(optind_after) + " " + (arg != nullptr ? arg : "-") +
                  " " + (error ? std::to_string(opt) : "") + " " + std::to_string(index) + "\n";
    if (code == -1) break;
  }
  scan.errors = testing::internal::GetCapturedStderr();
  for (size_t i = 0; i < args.size(); ++i) scan.order += std::string(argv[i]) + " ";
  return scan;
}

Scan WithEngine(const std::vector<std::string>& args, const char* option_string, bool with_long, bool long_only) {
  support::GetoptState state;
  return Run(args, [&](int argc, char** argv, int* index, int* optind_after, const char** arg, int* opt) {
    const int code =
        support::GnuGetopt(argc, argv, option_string, with_long ? kLongOptions : nullptr, index, long_only, &state);
    *optind_after = state.optind;
    *arg = state.optarg;
    *opt = state.optopt;
    return code;
  });
}

// The C library's scanner (GNU's on Linux; on Windows the engine again,
// through the program's getopt).
Scan WithLibrary(const std::vector<std::string>& args, const char* option_string, bool with_long, bool long_only) {
  optind = 0;
  opterr = 1;
  return Run(args, [&](int argc, char** argv, int* index, int* optind_after, const char** arg, int* opt) {
    int code;
    if (!with_long) {
      code = getopt(argc, argv, option_string);
    } else if (long_only) {
      code = getopt_long_only(argc, argv, option_string, kLongOptions, index);
    } else {
      code = getopt_long(argc, argv, option_string, kLongOptions, index);
    }
    *optind_after = optind;
    *arg = optarg;
    *opt = optopt;
    return code;
  });
}

TEST(GnuGetopt, WordsItsDiagnosticsAsGnuDoes) {
  const struct {
    std::vector<std::string> args;
    const char* option_string;
    const char* errors;
  } cases[] = {
      {{"prog", "-x"}, "ab:", "prog: invalid option -- 'x'\n"},
      {{"prog", "-b"}, "ab:", "prog: option requires an argument -- 'b'\n"},
      {{"prog", "-b"}, ":ab:", ""},
      {{"prog", "--nope=1"}, "a", "prog: unrecognized option '--nope=1'\n"},
      {{"prog", "--alpha=1"}, "a", "prog: option '--alpha' doesn't allow an argument\n"},
      {{"prog", "--beta"}, "a", "prog: option '--beta' requires an argument\n"},
      {{"prog", "--al"}, "a", ""},  // two names of one option are no ambiguity
      {{"prog", "--gam"}, "a", "prog: option '--gam' is ambiguous; possibilities: '--gamma' '--gambit'\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithEngine(c.args, c.option_string, true, false).errors, c.errors) << c.args[1];
  }
}

TEST(GnuGetopt, MovesOperandsBehindTheOptionsUnlessAPlusSaysNot) {
  const std::vector<std::string> args = {"prog", "in", "-a", "out", "-bx", "--", "-c"};
  EXPECT_EQ(WithEngine(args, "ab:c", false, false).order, "prog -a -bx -- in out -c ");
  EXPECT_EQ(WithEngine(args, "+ab:c", false, false).order, "prog in -a out -bx -- -c ");
}

// Random command lines through both scanners: every step, the final order and
// every diagnostic alike.
TEST(GnuGetopt, MatchesTheCLibrarysScanner) {
  const char* const pool[] = {"-a",     "-b",    "-bval", "-ab",     "-ba",    "-c",     "-cv",      "-x",  "-:",
                              "--alpha", "--al", "--alp", "--beta",  "--beta=", "--bet", "--bet=v", "--gam", "--gamma=g",
                              "--gambit=1", "--zz", "--",   "-",       "in",     "out",    "-W",       "--a", "-alpha"};
  const char* const option_strings[] = {"ab:c::", "+ab:c::", ":ab:c", "-ab:c", "+:ab:", "abW;c"};
  std::mt19937 rng(7);
  for (int round = 0; round < 1000; ++round) {
    std::vector<std::string> args = {"prog"};
    const int count = static_cast<int>(rng() % 7);
    for (int i = 0; i < count; ++i) args.push_back(pool[rng() % std::size(pool)]);
    const char* option_string = option_strings[rng() % std::size(option_strings)];
    const bool with_long = rng() % 4 != 0;
    const bool long_only = with_long && rng() % 3 == 0;
    if (std::string(option_string).find('W') != std::string::npos && with_long) continue;  // GNU's -W extension
    const Scan expected = WithLibrary(args, option_string, with_long, long_only);
    const Scan actual = WithEngine(args, option_string, with_long, long_only);
    ASSERT_EQ(actual, expected) << "option string " << option_string << (with_long ? " long" : "")
                                << (long_only ? " only" : "") << ", args " << expected.order;
  }
}

}  // namespace
