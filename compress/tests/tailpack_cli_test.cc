#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "lz_reference.h"
#include "testing/golden.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using testing_support::RunResult;
using testing_support::TempDir;

// The usage text, kept whole in a golden file.
const char kUsageFile[] = TEST_DATA_DIR "/tailpack_usage.stderr";

const testing_support::Cli kTailpack(TAILPACK_PATH, "tailpack");

std::string ArmCode(size_t size) {
  return testing_support::ReadFileOrEmpty(TEST_DATA_DIR "/arm-code-64k.bin").substr(0, size);
}

std::string ExpectedImage(const std::string& input) {
  std::vector<uint8_t> bytes(input.begin(), input.end());
  std::vector<uint8_t> image = lz_reference::CompressBackward(bytes);
  return std::string(image.begin(), image.end());
}

std::string CompressedLine(size_t from, size_t to) {
  char line[80];
  snprintf(line, sizeof line, "Inputdata ..... Compressed ... %9zu -> %9zu\n", from, to);
  return line;
}

TEST(TailpackCli, WritesBareNameWithSuffixInWorkingDirectory) {
  TempDir dir;
  const std::string input = ArmCode(8192);
  const std::string image = ExpectedImage(input);
  ASSERT_FALSE(image.empty());
  dir.Write("dir/sub/data.bin", input);
  RunResult r = kTailpack.Run(dir, {"dir/sub/data.bin"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, CompressedLine(input.size(), image.size()));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"data_BLZ.bin", "dir"}));
  EXPECT_TRUE(dir.Read("data_BLZ.bin") == image);
  EXPECT_TRUE(dir.Read("dir/sub/data.bin") == input);
}

TEST(TailpackCli, BuildsOutputNameFromOptions) {
  const std::string input = ArmCode(4096);
  const std::string image = ExpectedImage(input);
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const std::vector<Case> cases = {
      {{"-o", "out.bin", "data.bin"}, "out.bin_BLZ.bin"},
      {{"-e", ".lz", "data.bin"}, "data.lz"},
      {{"-e", "", "-o", "out", "data.bin"}, "out"},
      {{"-o", "sub/packed", "data.bin"}, "sub/packed_BLZ.bin"},
      {{"data.bin", "-e", "_x"}, "data_x"},  // options after the operand
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("data.bin", input);
    dir.Write("sub/keep", std::string("k"));
    RunResult r = kTailpack.Run(dir, c.args);
    EXPECT_EQ(r.status, 0) << c.output;
    EXPECT_EQ(r.err, "") << c.output;
    EXPECT_EQ(r.out, CompressedLine(input.size(), image.size()));
    EXPECT_TRUE(dir.Exists(c.output)) << c.output;
    if (dir.Exists(c.output)) {
      EXPECT_TRUE(dir.Read(c.output) == image) << c.output;
    }
  }
  TempDir dir;
  dir.Write("a.b.c", input);
  EXPECT_EQ(kTailpack.Run(dir, {"a.b.c"}).status, 0);
  EXPECT_TRUE(dir.Exists("a.b_BLZ.bin"));
}

TEST(TailpackCli, ReplacesAnExistingOutput) {
  TempDir dir;
  const std::string input = ArmCode(4096);
  dir.Write("data.bin", input);
  dir.Write("data_BLZ.bin", std::string(100000, 'x'));
  EXPECT_EQ(kTailpack.Run(dir, {"data.bin"}).status, 0);
  EXPECT_TRUE(dir.Read("data_BLZ.bin") == ExpectedImage(input));
}

TEST(TailpackCli, WritesThroughLinksIntoDevices) {
  // "-o null -e ''" with null a link to /dev/null: the image goes to the
  // device and the link stays a link. Where no link can be made (Windows),
  // the image goes to the device NUL by its own name.
  TempDir dir;
  const std::string input = ArmCode(4096);
  dir.Write("data.bin", input);
  const bool links = testing_support::Lacks(testing_support::Need::kSymlinks) == nullptr;
  if (links) std::filesystem::create_symlink("/dev/null", dir.File("null"));
  RunResult r = kTailpack.Run(dir, {"-o", links ? "null" : "NUL", "-e", "", "data.bin"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, CompressedLine(input.size(), ExpectedImage(input).size()));
  if (links) {
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(dir.File("null"))));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"data.bin", "null"}));
  } else {
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"data.bin"}));
  }
}

TEST(TailpackCli, UsageCases) {
  TempDir dir;
  dir.Write("a.bin", ArmCode(4096));
  RunResult help = kTailpack.Run(dir, {"-h"});
  EXPECT_EQ(help.status, 1);
  EXPECT_EQ(help.out, "");
  testing_support::ExpectGolden(kUsageFile, help.err);
  const std::string usage = testing_support::ReadFileOrEmpty(kUsageFile);
  struct Case {
    std::vector<std::string> args;
    std::string err_before_usage;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{"a.bin", "a.bin"}, ""},
      {{"-v", "a.bin"}, ""},
      {{"-x", "a.bin"}, "tailpack: invalid option -- 'x'\n"},
      {{"a.bin", "-o"}, "tailpack: option requires an argument -- 'o'\n"},
  };
  for (const Case& c : cases) {
    RunResult r = kTailpack.Run(dir, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err_before_usage + usage);
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"a.bin"});
}

TEST(TailpackCli, RefusesAnOutputThatIsTheInput) {
  // The output name comes from -o and -e, or from the input's own name.
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const std::vector<Case> cases = {
      {{"-o", "a", "-e", ".bin", "a.bin"}, "a"},
      {{"-e", ".bin", "a.bin"}, "a"},
      {{"-o", "sub/../a", "-e", ".bin", "./a.bin"}, "sub/../a"},
  };
  const std::string input = ArmCode(4096);
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("a.bin", input);
    dir.Write("sub/keep", std::string("k"));
    RunResult r = kTailpack.Run(dir, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "exit...\n");
    EXPECT_EQ(r.err, "Error: Output file '" + c.output + ".bin' is the same file as input file '" + c.args.back() +
                         "'\n");
    EXPECT_TRUE(dir.Read("a.bin") == input);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.bin", "sub"}));
  }
}

TEST(TailpackCli, RefusesWhatCannotBeRead) {
  TempDir dir;
  dir.Write("folder/x", std::string("x"));
  for (const std::string name : {"folder", "missing.bin"}) {
    RunResult r = kTailpack.Run(dir, {name});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "exit...\n");
    EXPECT_EQ(r.err, "Error: Cannot open file '" + name + "'\n");
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"folder"});
}

TEST(TailpackCli, LeavesNoFileWhenDataDoesNotShrink) {
  std::mt19937 rng(9);
  std::string noise(3000, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  for (const std::string& input : {std::string(), std::string(8, '\0'), std::string("tiny"), noise}) {
    TempDir dir;
    dir.Write("in.bin", input);
    RunResult r = kTailpack.Run(dir, {"in.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Inputdata ..... Not compressed (enlarged or same size as before)\nexit...\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"in.bin"});
  }
}

TEST(TailpackCli, ReportsWriteFailureWithoutLeavingFiles) {
  TempDir dir;
  dir.Write("data.bin", ArmCode(4096));
  RunResult r = kTailpack.Run(dir, {"-o", "nowhere/out", "data.bin"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "exit...\n\n");
  EXPECT_EQ(r.err, "Error: Cannot open file 'nowhere/out_BLZ.bin'\n");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"data.bin"});
}

TEST(TailpackCli, DebugLinesShowOptionsAndFiles) {
  TempDir dir;
  // Zeros, then bytes that do not compress: no raw prefix is needed.
  std::string input(4000, '\0');
  std::mt19937 rng(10);
  for (int i = 0; i < 96; ++i) input.push_back(static_cast<char>(rng()));
  const std::string image = ExpectedImage(input);
  ASSERT_FALSE(image.empty());
  dir.Write("data.bin", input);
  RunResult r = kTailpack.Run(dir, {"-d", "-o", "out", "data.bin"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, CompressedLine(input.size(), image.size()));
  // A buffer's address prints as the platform's %p: "0x..." on GNU systems,
  // sixteen hex digits on Windows.
  const std::string pattern =
      "option -d: No ARG\n"
      "option -o: out\n"
      "argc=1  optind=4\n"
      "argv\\[0\\] = \\[data.bin\\]\n"
      "(0x)?[0-9a-f]+     4096 bytes  ReadFile 'data.bin'\n"
      "1: source size = 4096  compressed = [0-9]+\n"
      "(0x)?[0-9a-f]+ +" +
      std::to_string(image.size()) + " bytes  WriteFile 'out_BLZ.bin'\n";
  EXPECT_TRUE(std::regex_match(r.err, std::regex(pattern))) << r.err;
}

TEST(TailpackCli, DebugLinesShowWhyNothingWasWritten) {
  TempDir dir;
  dir.Write("empty.bin", std::string());
  dir.Write("tiny.bin", std::string("tiny"));
  struct Case {
    std::vector<std::string> args;
    std::string err_pattern;
  };
  const std::vector<Case> cases = {
      {{"-d", "empty.bin"},
       "option -d: No ARG\n"
       "argc=1  optind=2\n"
       "argv\\[0\\] = \\[empty.bin\\]\n"
       "(0x)?[0-9a-f]+        0 bytes  ReadFile 'empty.bin'\n"
       "1: source size = 0  compressed = 0\n"
       "Compressed buffer size exceeds or equals original data size.\n"},
      {{"tiny.bin", "-d"},
       "option -d: No ARG\n"
       "argc=1  optind=2\n"
       "argv\\[0\\] = \\[tiny.bin\\]\n"
       "(0x)?[0-9a-f]+        4 bytes  ReadFile 'tiny.bin'\n"
       "Compressed buffer size exceeds original data size.\n"},
  };
  for (const Case& c : cases) {
    RunResult r = kTailpack.Run(dir, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Inputdata ..... Not compressed (enlarged or same size as before)\nexit...\n");
    EXPECT_TRUE(std::regex_match(r.err, std::regex(c.err_pattern))) << r.err;
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"empty.bin", "tiny.bin"}));
}

TEST(TailpackCli, DebugLinesShowRawPrefix) {
  TempDir dir;
  std::mt19937 rng(11);
  std::string input(300, '\0');
  for (char& c : input) c = static_cast<char>(rng());
  input += std::string(3000, '\0');
  const std::string image = ExpectedImage(input);
  ASSERT_FALSE(image.empty());
  dir.Write("p.bin", input);
  RunResult r = kTailpack.Run(dir, {"-d", "p.bin"});
  EXPECT_EQ(r.status, 0);
  const std::regex pattern(
      "(.|\n)*1: source size = 3300  compressed = [0-9]+\n"
      "  !! Shrink back Compressed region to avoid overwriting.\n"
      "  !! Expand non-compressed region = \\+([0-9]+)\n"
      "2: source size = ([0-9]+)  compressed = [0-9]+\n"
      "[0-9a-fx]+ (.|\n)*");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(r.err, m, pattern)) << r.err;
  EXPECT_EQ(std::stoi(m[2]) + std::stoi(m[3]), 3300);
  EXPECT_TRUE(dir.Read("p_BLZ.bin") == image);
}

TEST(TailpackCli, RefusesRegionBeyondFooterField) {
  // 17 MiB that shrink by a few percent: the region would need more than 24 bits.
  std::mt19937 rng(13);
  std::string input(17u << 20, '\0');
  for (size_t at = 0; at < input.size(); at += 32) {
    for (size_t i = 0; i < 26; ++i) input[at + i] = static_cast<char>(rng());
    for (size_t i = 26; i < 32; ++i) input[at + i] = input[at + i - 13];
  }
  TempDir dir;
  dir.Write("big.bin", input);
  RunResult r = kTailpack.Run(dir, {"big.bin"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "exit...\n");
  EXPECT_EQ(r.err,
            "Error: Compressed region of 'big.bin' exceeds 16777215 bytes, the most its footer can hold\n");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"big.bin"});
}

}  // namespace

namespace {

// Data that shrinks by a few percent only, so its image is nearly as large.
std::string BarelyCompressible(size_t size) {
  std::mt19937 rng(13);
  std::string data(size, '\0');
  for (size_t at = 0; at + 32 <= size; at += 32) {
    for (size_t i = 0; i < 26; ++i) data[at + i] = static_cast<char>(rng());
    for (size_t i = 26; i < 32; ++i) data[at + i] = data[at + i - 13];
  }
  return data;
}

TEST(TailpackCli, OutputRows) {
  const std::string input = ArmCode(8192);
  testing_support::OutputTool tool;
  tool.program = TAILPACK_PATH;
  tool.inputs = {{"data.bin", input}};
  tool.args = [](const std::string& output) {
    return std::vector<std::string>{"-o", output, "-e", "", "data.bin"};
  };
  tool.expected = ExpectedImage(input);
  tool.success_out = CompressedLine(input.size(), tool.expected.size());
  tool.open_failure_out = "exit...\n\n";
  tool.open_failure_err = [](const std::string& output) { return "Error: Cannot open file '" + output + "'\n"; };
  tool.large_inputs = {{"data.bin", BarelyCompressible(12u << 20)}};
  testing_support::ExpectOutputRows(tool);
}

}  // namespace

namespace {

TEST(TailpackCli, FaultRows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  const std::string input = ArmCode(8192);
  testing_support::FaultTool tool;
  tool.program = TAILPACK_PATH;
  tool.inputs = {{"data.bin", input}};
  tool.args = [](const std::string& output) {
    return std::vector<std::string>{"-o", output, "-e", "", "data.bin"};
  };
  tool.expected = ExpectedImage(input);
  tool.input = "data.bin";
  tool.truncated = input.substr(0, 4097);
  tool.truncated_expected = ExpectedImage(tool.truncated);
  tool.outcome = [&](Fault fault, const std::string& path) -> Outcome {
    switch (fault) {
      case Fault::kFullDevice:
      case Fault::kDiskFull:
        return {1, "exit...\n\n", "Error: Cannot write file '" + path + "'\n"};
      case Fault::kFolderNotWritable:
      case Fault::kOutputIsFolder:
        return {1, "exit...\n\n", "Error: Cannot open file '" + path + "'\n"};
      case Fault::kInputTruncated:
        return {0, CompressedLine(tool.truncated.size(), tool.truncated_expected.size()), ""};
      case Fault::kStdoutFull:
        return {1, "", "Error: Cannot write file 'stdout'\n"};
      default:  // a missing input, a folder or a pipe
        return {1, "exit...\n", "Error: Cannot open file '" + path + "'\n"};
    }
  };
  tool.strict_rows = true;
  tool.same_file_outcome = [](const std::string& output, const std::string& named_input) -> Outcome {
    return {1, "exit...\n",
            "Error: Output file '" + output + "' is the same file as input file '" + named_input + "'\n"};
  };
  testing_support::ExpectFaultRows(tool);
}

}  // namespace
