#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cut_rows.h"
#include "rom_builder.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using romtools_test::PutWord;
using romtools_test::RandomBytes;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempDir;

constexpr uint32_t kRecorded = 0x1000;

const testing_support::Cli kSignmerge(SIGNMERGE_PATH, "signmerge");

// An image of `size` bytes recording kRecorded, titled "PUZZLE" + zero.
std::string Rom(size_t size) {
  std::string rom = RandomBytes(size, 54);
  rom.replace(0, 12, std::string("PUZZLE\0\0\0\0\0\0", 12));
  rom.replace(0x0C, 6, "APZE01");
  PutWord(&rom, 0x80, kRecorded);
  return rom;
}

std::string Sign(size_t size = 155) {
  std::string sign = RandomBytes(size, 155);
  sign.replace(0, 4, std::string("ac\x01\0", 4));
  if (size >= 155) {
    // After the ROM title's zero byte nothing more is compared.
    sign.replace(136, 18, std::string("PUZZLE\0junk!APZE01", 18));
  }
  return sign;
}

std::string Placeholder() {
  std::string block = std::string("ac\x01\0", 4) + std::string(128, '\x03') + std::string(4, '\0');
  PutWord(&block, 132, 4);
  return block;
}

TEST(SignmergeCli, PlacesTheBlockByTheSizeRules) {
  const std::string block = Sign().substr(0, 136);
  struct Case {
    size_t rom_size;
    std::string out;
    size_t output_size;
  };
  const std::vector<Case> cases = {
      {kRecorded, "", kRecorded + 136},
      {kRecorded + 50, "pad..?? \n", kRecorded + 136},
      {kRecorded + 135, "pad..?? \n", kRecorded + 136},
      {kRecorded + 136, "pad\n", kRecorded + 136},
      {kRecorded + 200, "pad\n", kRecorded + 200},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string rom = Rom(c.rom_size);
    dir.Write("in.srl", rom);
    dir.Write("game.sgn", Sign());
    RunResult r = kSignmerge.Run(dir, {"in.srl", "game.sgn", "out.srl"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, c.out + "attach success! out.srl\n");
    std::string expected = rom.substr(0, kRecorded) + block;
    if (c.rom_size > kRecorded + 136) expected += rom.substr(kRecorded + 136);
    EXPECT_EQ(expected.size(), c.output_size);
    EXPECT_TRUE(dir.Read("out.srl") == expected) << c.rom_size;
    EXPECT_TRUE(dir.Read("in.srl") == rom);
  }
}

TEST(SignmergeCli, PlaceholderModeComparesNothing) {
  TempDir dir;
  std::string rom = Rom(kRecorded);
  rom.replace(0, 16, "SOMETHING ELSE!!");
  dir.Write("in.srl", rom);
  RunResult r = kSignmerge.Run(dir, {"-D", "in.srl", "out.srl"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "attach success! out.srl\n");
  EXPECT_TRUE(dir.Read("out.srl") == rom + Placeholder());
}

TEST(SignmergeCli, RefusesWithoutWriting) {
  struct Case {
    std::string rom;
    std::string sign;
    std::string err;
  };
  std::string bad_magic = Sign();
  bad_magic[1] = 'C';
  std::string bad_format = Sign();
  bad_format[2] = 2;
  std::string other_title = Sign();
  other_title[141] = 'R';
  std::string other_code = Sign();
  other_code[151] = '2';
  std::string other_maker = Sign();
  other_maker[153] = '2';
  std::string no_recorded_size = Rom(kRecorded);
  PutWord(&no_recorded_size, 0x80, 0);
  const std::vector<Case> cases = {
      {Rom(kRecorded), Sign(154), "invalid hmac file size is not 155 =>136 154  game.sgn \n"},
      {Rom(kRecorded), Sign(156), "invalid hmac file size is not 155 =>136 156  game.sgn \n"},
      {Rom(kRecorded), "", "load error! game.sgn \n"},
      {Rom(kRecorded), bad_magic, "invalid sign file header game.sgn \n"},
      {Rom(kRecorded), bad_format, "invalid sign file header game.sgn \n"},
      {"", Sign(), "load error! in.srl \n"},
      {no_recorded_size, Sign(), "file format error! in.srl \n"},
      // Too short to hold the recorded size at all.
      {Rom(kRecorded).substr(0, 0x83), Sign(), "file format error! in.srl \n"},
      {Rom(kRecorded), other_title, "does not match game name !\n"},
      {Rom(kRecorded), other_code, "does not match game code !\n"},
      {Rom(kRecorded), other_maker, "does not match maker code !\n"},
      {Rom(kRecorded - 1), Sign(), "error: invalid rom size !\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("in.srl", c.rom);
    dir.Write("game.sgn", c.sign);
    RunResult r = kSignmerge.Run(dir, {"in.srl", "game.sgn", "out.srl"});
    EXPECT_EQ(r.status, 255) << c.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.sgn", "in.srl"}));
  }
  TempDir dir;
  RunResult r = kSignmerge.Run(dir, {"-D", "missing.srl", "out.srl"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "load error! missing.srl \n");
}

TEST(SignmergeCli, ReportsAFailedSaveAndKeepsTheOldOutput) {
  TempDir dir;
  dir.Write("in.srl", Rom(kRecorded + 200));
  dir.Write("out.srl/x", std::string("x"));
  RunResult r = kSignmerge.Run(dir, {"-D", "in.srl", "out.srl"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "pad\n");
  EXPECT_EQ(r.err, "save error! out.srl \nattach error out.srl!\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.srl", "out.srl"}));
  EXPECT_EQ(dir.Read("out.srl/x"), "x");

  // Standard output that fails: the copy is not kept, and an older one stays.
  if (const char* why = testing_support::Lacks(testing_support::Need::kDeviceFiles)) GTEST_SKIP() << why;
  testing_support::RunOptions full;
  full.stdout_path = "/dev/full";
  for (const bool old_output : {false, true}) {
    TempDir other;
    other.Write("in.srl", Rom(kRecorded));
    if (old_output) other.Write("out.srl", std::string("old"));
    r = RunProgram(SIGNMERGE_PATH, {"-D", "in.srl", "out.srl"}, other.path(), full);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "save error! stdout \nattach error out.srl!\n");
    EXPECT_EQ(other.List().size(), old_output ? 2u : 1u);
    if (old_output) {
      EXPECT_EQ(other.Read("out.srl"), "old");
    }
  }
}

TEST(SignmergeCli, UsageNamesTheInvocation) {
  TempDir dir;
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"-D", "in.srl"},
                           std::vector<std::string>{"a", "b", "c", "d"}}) {
    RunResult r = kSignmerge.Run(dir, args);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "signmerge [INPUT file] [SIGN file] [OUTPUT file]\n"
              "signmerge -D [INPUT file] [OUTPUT file]\n");
  }
}

TEST(SignmergeCli, OutputRows) {
  const std::string rom = Rom(kRecorded);
  const std::string sign = Sign();
  testing_support::OutputTool tool;
  tool.program = SIGNMERGE_PATH;
  tool.inputs = {{"in.srl", rom}, {"game.sgn", sign}};
  tool.args = [](const std::string& output) { return std::vector<std::string>{"in.srl", "game.sgn", output}; };
  tool.expected = rom + sign.substr(0, 136);
  tool.success_out_of = [](const std::string& output) { return "attach success! " + output + "\n"; };
  tool.open_failure_status = 255;
  tool.open_failure_err = [](const std::string& output) {
    return "save error! " + output + " \nattach error " + output + "!\n";
  };
  testing_support::ExpectPlainOutputRows(tool);
}

TEST(SignmergeCli, FaultRows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  const std::string rom = Rom(kRecorded + 200);
  const std::string sign = Sign();
  testing_support::FaultTool tool;
  tool.program = SIGNMERGE_PATH;
  tool.inputs = {{"in.srl", rom}, {"game.sgn", sign}};
  tool.args = [](const std::string& output) { return std::vector<std::string>{"in.srl", "game.sgn", output}; };
  tool.expected = rom.substr(0, kRecorded) + sign.substr(0, 136) + rom.substr(kRecorded + 136);
  tool.same_file_outcome = [](const std::string& output, const std::string& input) -> Outcome {
    return {255, "", "error: " + output + " is the same file as " + input + " !\n"};
  };
  // The image cut inside its header, then inside its recorded size, and the
  // sign file cut short.
  const std::vector<romtools_test::Cut> cuts = {
      {"in.srl", rom.substr(0, 0x40), "file format error! in.srl \n"},
      {"in.srl", rom.substr(0, kRecorded - 0x100), "error: invalid rom size !\n"},
      {"game.sgn", sign.substr(0, 100), "invalid hmac file size is not 155 =>136 100  game.sgn \n"},
  };
  romtools_test::ExpectFaultRowsForEachCut(tool, cuts, [](Fault fault, const std::string& path, const auto& cut) {
    switch (fault) {
      case Fault::kFullDevice:
      case Fault::kDiskFull:
      case Fault::kFolderNotWritable:
      case Fault::kOutputIsFolder:
        return Outcome{255, "pad\n", "save error! " + path + " \nattach error " + path + "!\n"};
      case Fault::kInputTruncated:
        return Outcome{255, "", cut.err};
      case Fault::kStdoutFull:
        return Outcome{255, "", "save error! stdout \nattach error out!\n"};
      default:  // a missing input, a folder or a pipe
        return Outcome{255, "", "load error! " + path + " \n"};
    }
  });
}

}  // namespace
