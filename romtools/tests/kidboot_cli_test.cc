#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "cut_rows.h"
#include "rom_builder.h"
#include "testing/golden.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using romtools_test::PutSegments;
using romtools_test::PutWord;
using romtools_test::RandomBytes;
using testing_support::ExpectGolden;
using testing_support::RunResult;
using testing_support::TempDir;

constexpr size_t kRomSize = 0x8000;
constexpr size_t kSegmentsEnd = 0x7200;

const testing_support::Cli kKidboot(KIDBOOT_PATH, "kidboot");

// Random bytes with ARM9 at 0x200-0x31FF and ARM7 at 0x3200-0x71FF; header
// byte 0x12 with or without bit 1.
std::string Rom(bool bit1, size_t size = kRomSize) {
  std::string rom = RandomBytes(size, 14);
  if (size < 0x40) return rom;
  PutSegments(&rom, 0x200, 0x2004000, 0x2004000, 0x3000, 0x3200, 0x37F8000, 0x37F8000, 0x4000);
  rom[0x12] = static_cast<char>(bit1 ? 0x02 : 0xFD);
  return rom;
}

std::string Syscall(size_t size = 0x1000) { return RandomBytes(size, 41); }

// What the image becomes: the insert, then the clear, cut to `length`.
std::string Expected(std::string rom, const std::string& syscall, size_t insert_offset, size_t insert_size,
                     size_t clear_offset, size_t clear_size, size_t length) {
  rom.replace(insert_offset, insert_size, syscall.substr(0, insert_size));
  rom.replace(clear_offset, clear_size, std::string(clear_size, '\0'));
  return rom.substr(0, length);
}

struct GoodRun {
  std::vector<std::string> args;
  std::string rom;
  std::string expected;  // the output's bytes
};

TEST(KidbootCli, InsertsClearsAndCutsToStaticSegments) {
  const std::string syscall = Syscall();
  const std::string clear_bit = Rom(false);
  const std::string set_bit = Rom(true);
  std::string zero_before_c = clear_bit;
  PutWord(&zero_before_c, 0x5FFC, 0);
  const std::vector<GoodRun> runs = {
      {{}, clear_bit, Expected(clear_bit, syscall, 0x4000, 0x800, 0x5000, 0x2000, kSegmentsEnd)},
      {{}, set_bit, Expected(set_bit, syscall, 0x4000, 0x800, 0x5400, 0x2000, kSegmentsEnd)},
      // The default given with -c is never tested against the parent section.
      {{"-c", "21504"}, set_bit, Expected(set_bit, syscall, 0x4000, 0x800, 0x5400, 0x2000, kSegmentsEnd)},
      // A negative -c stands for the default.
      {{"-c", "-7"}, set_bit, Expected(set_bit, syscall, 0x4000, 0x800, 0x5400, 0x2000, kSegmentsEnd)},
      {{"-c", "24576", "-C", "16"}, zero_before_c,
       Expected(zero_before_c, syscall, 0x4000, 0x800, 0x6000, 16, kSegmentsEnd)},
      {{"-f"}, clear_bit, Expected(clear_bit, syscall, 0x4000, 0x800, 0x5000, 0x2000, kRomSize)},
      // Numbers are decimal or 0x-prefixed hexadecimal, as the usage shows them.
      {{"-a", "0x100", "-A", "4096", "-C", "0"}, clear_bit,
       Expected(clear_bit, syscall, 0x100, 0x1000, 0x5000, 0, kSegmentsEnd)},
      {{"-a", "0x4000", "-A", "0X0800", "-c", " +20480", "-C", "0x2000"}, clear_bit,
       Expected(clear_bit, syscall, 0x4000, 0x800, 0x5000, 0x2000, kSegmentsEnd)},
      {{"-a", "00256", "-A", "0x0", "-c", "-0x1"}, set_bit,
       Expected(set_bit, syscall, 256, 0, 0x5400, 0x2000, kSegmentsEnd)},
      // The clear wins where the two ranges meet; the insert may end at the end of the image.
      {{"-a", "28672", "-A", "4096", "-c", "-1", "-C", "12288", "-f"}, clear_bit,
       Expected(clear_bit, syscall, 0x7000, 0x1000, 0x5000, 0x3000, kRomSize)},
  };
  for (const GoodRun& run : runs) {
    TempDir dir;
    dir.Write("orig.srl", run.rom);
    dir.Write("sys.bin", syscall);
    std::vector<std::string> args = run.args;
    for (const char* operand : {"orig.srl", "sys.bin", "out.srl"}) args.push_back(operand);
    RunResult r = kKidboot.Run(dir, args);
    EXPECT_EQ(r.status, 0) << args[0];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(dir.Read("out.srl") == run.expected) << args[0];
    EXPECT_TRUE(dir.Read("orig.srl") == run.rom);
  }
}

TEST(KidbootCli, RefusesInOrderAndWritesNothing) {
  const std::string rom = Rom(false);
  struct Case {
    std::vector<std::string> args;
    std::string rom;
    std::string syscall;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{}, rom, Syscall(kRomSize + 1), "Error: 'orig.srl' is smaller than 'sys.bin'.\n"},
      {{}, rom, Syscall(0x7FF), "Error: 'sys.bin' is smaller than inserting size.\n"},
      {{"-A", "0"}, Rom(false, 63), Syscall(0), "Error: 'orig.srl' is smaller than ROM header (0x40 bytes).\n"},
      {{"-c", "24576"}, rom, Syscall(),
       "Error: Clearing range (0x6000-0x8000) seems to include except parent section too.\n"},
      {{"-a", "28673", "-A", "4096"}, rom, Syscall(),
       "Error: Inserting range (0x00007001-0x00008001) is out of rom area (0x00000000-0x00008000).\n"},
      {{"-a", "-16", "-A", "8"}, rom, Syscall(),
       "Error: Inserting range (0xfffffff0-0xfffffff8) is out of rom area (0x00000000-0x00008000).\n"},
      // The sum does not wrap into the image.
      {{"-a", "2147483647", "-A", "2048"}, rom, Syscall(),
       "Error: Inserting range (0x7fffffff-0x800007ff) is out of rom area (0x00000000-0x00008000).\n"},
      {{"-c", "2147483647", "-C", "2147483647"}, rom, Syscall(),
       "Error: Clearing range (0x7fffffff-0xfffffffe) is out of rom area (0x0-0x8000).\n"},
      {{"-C", "2147483647"}, rom, Syscall(),
       "Error: Clearing range (0x5000-0x80004fff) is out of rom area (0x0-0x8000).\n"},
      {{"-C", "-1"}, rom, Syscall(), "Error: Clearing range (0x5000-0x4fff) is out of rom area (0x0-0x8000).\n"},
      {{"-c", "32769", "-C", "0"}, rom, Syscall(),
       "Error: Clearing range (0x8001-0x8001) is out of rom area (0x0-0x8000).\n"},
      // Static segments that end past the image are refused (-f would write it whole).
      {{}, Rom(false, 0x7100), Syscall(), "Error: Static segments (0x0-0x7200) are out of rom area (0x0-0x7100).\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("orig.srl", c.rom);
    dir.Write("sys.bin", c.syscall);
    std::vector<std::string> args = c.args;
    for (const char* operand : {"orig.srl", "sys.bin", "out.srl"}) args.push_back(operand);
    RunResult r = kKidboot.Run(dir, args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err + "Error: exit...\n");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"orig.srl", "sys.bin"}));
  }
}

TEST(KidbootCli, ReportsBothUnreadableFiles) {
  TempDir dir;
  dir.Write("folder/x", std::string("x"));
  RunResult r = kKidboot.Run(dir, {"missing.srl", "folder", "out.srl"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "Error: Cannot read file 'missing.srl'\n"
            "Error: Cannot read file 'folder'\n"
            "Error: exit...\n");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"folder"});
}

TEST(KidbootCli, KeepsAnExistingOutputWhenWritingFails) {
  TempDir dir;
  dir.Write("orig.srl", Rom(false));
  dir.Write("sys.bin", Syscall());
  RunResult r = kKidboot.Run(dir, {"orig.srl", "sys.bin", "no/such/dir/out.srl"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: Cannot open file 'no/such/dir/out.srl'\nError: exit...\n");
  dir.Write("out.srl", std::string("old"));
  r = kKidboot.Run(dir, {"-C", "-1", "orig.srl", "sys.bin", "out.srl"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(dir.Read("out.srl"), "old");
}

TEST(KidbootCli, UsageCases) {
  TempDir dir;
  const std::vector<std::vector<std::string>> cases = {
      {}, {"a", "b"}, {"a", "b", "c", "d"}, {"-h", "a", "b", "c"}, {"-v"}};
  const std::string usage = testing_support::ReadFileOrEmpty(TEST_DATA_DIR "/kidboot_usage.stderr");
  for (const auto& args : cases) {
    RunResult r = kKidboot.Run(dir, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, usage);
  }
  RunResult r = kKidboot.Run(dir, {"-x", "a", "b", "c"});
  EXPECT_EQ(r.status, 1);
  ExpectGolden(TEST_DATA_DIR "/kidboot_usage.stderr", r.err.substr(r.err.find('\n') + 1));
  EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "kidboot: invalid option -- 'x'\n");
  EXPECT_TRUE(dir.List().empty());
}

// A value that is not wholly a number, or one past the range of int, is
// refused with the usage before anything is read.
TEST(KidbootCli, RefusesValuesThatAreNotNumbers) {
  TempDir dir;
  const std::string usage = testing_support::ReadFileOrEmpty(TEST_DATA_DIR "/kidboot_usage.stderr");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"-a", "0x4000k"}, {"-A", ""},   {"-c", "12 "},        {"-C", "0x"},          {"-a", "4k"},
      {"-A", "0x1g"},    {"-c", "--1"}, {"-C", "2147483648"}, {"-a", "-0x80000001"}, {"-A", "0x100000000"},
  };
  for (const auto& [option, value] : cases) {
    const RunResult r = kKidboot.Run(dir, {option, value, "orig.srl", "sys.bin", "out.srl"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error: Option " + option + ": '" + value + "' is not a number\n" + usage);
  }
  EXPECT_TRUE(dir.List().empty());
}

TEST(KidbootCli, DebugLinesShowOptionsAndFiles) {
  TempDir dir;
  dir.Write("orig.srl", Rom(false));
  dir.Write("sys.bin", Syscall());
  RunResult r = kKidboot.Run(dir, {"-d", "-a", "16384", "-f", "orig.srl", "sys.bin", "out.srl"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  // Buffer addresses differ from run to run, and print as the platform's %p
  // ("0x..." on GNU systems, sixteen hex digits on Windows): blank them.
  const std::string err = std::regex_replace(r.err, std::regex("(^|\n)(0x)?[0-9a-f]+ "), "$1ADDR ");
  EXPECT_EQ(err,
            "option -d: No ARG\n"
            "option -a: 16384\n"
            "option -f: No ARG\n"
            "argc=3  optind=5\n"
            "ADDR    32768 bytes  ReadFile 'orig.srl'\n"
            "ADDR     4096 bytes  ReadFile 'sys.bin'\n"
            "ADDR    32768 bytes  WriteFile 'out.srl'\n");
}

TEST(KidbootCli, OutputRows) {
  const std::string rom = Rom(false);
  const std::string syscall = Syscall();
  testing_support::OutputTool tool;
  tool.program = KIDBOOT_PATH;
  tool.inputs = {{"orig.srl", rom}, {"sys.bin", syscall}};
  tool.args = [](const std::string& output) { return std::vector<std::string>{"orig.srl", "sys.bin", output}; };
  tool.expected = Expected(rom, syscall, 0x4000, 0x800, 0x5000, 0x2000, kSegmentsEnd);
  tool.open_failure_err = [](const std::string& output) {
    return "Error: Cannot open file '" + output + "'\nError: exit...\n";
  };
  testing_support::ExpectPlainOutputRows(tool);
}

TEST(KidbootCli, FaultRows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  const std::string rom = Rom(false);
  const std::string syscall = Syscall();
  testing_support::FaultTool tool;
  tool.program = KIDBOOT_PATH;
  tool.inputs = {{"orig.srl", rom}, {"sys.bin", syscall}};
  tool.args = [](const std::string& output) { return std::vector<std::string>{"orig.srl", "sys.bin", output}; };
  tool.expected = Expected(rom, syscall, 0x4000, 0x800, 0x5000, 0x2000, kSegmentsEnd);
  tool.same_file_outcome = [](const std::string& output, const std::string& input) -> Outcome {
    return {1, "", "Error: Output file '" + output + "' is the same file as '" + input + "'.\nError: exit...\n"};
  };
  // The image cut inside its header, then inside the area to clear, and the
  // system-call image cut short.
  const std::vector<romtools_test::Cut> cuts = {
      {"orig.srl", rom.substr(0, 0x20), "Error: 'orig.srl' is smaller than 'sys.bin'.\n"},
      {"orig.srl", rom.substr(0, 0x6000), "Error: Clearing range (0x5000-0x7000) is out of rom area (0x0-0x6000).\n"},
      {"sys.bin", syscall.substr(0, 0x7FF), "Error: 'sys.bin' is smaller than inserting size.\n"},
  };
  romtools_test::ExpectFaultRowsForEachCut(tool, cuts, [](Fault fault, const std::string& path, const auto& cut) {
    switch (fault) {
      case Fault::kFullDevice:
      case Fault::kDiskFull:
        return Outcome{1, "", "Error: Cannot write file '" + path + "'\nError: exit...\n"};
      case Fault::kFolderNotWritable:
      case Fault::kOutputIsFolder:
        return Outcome{1, "", "Error: Cannot open file '" + path + "'\nError: exit...\n"};
      case Fault::kInputTruncated:
        return Outcome{1, "", cut.err + "Error: exit...\n"};
      case Fault::kStdoutFull:  // nothing goes there
        return Outcome{0, "", ""};
      default:  // a missing input, a folder or a pipe
        return Outcome{1, "", "Error: Cannot read file '" + path + "'\nError: exit...\n"};
    }
  });
}

}  // namespace
