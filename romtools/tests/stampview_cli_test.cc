#include <gtest/gtest.h>

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
using testing_support::ExpectGolden;
using testing_support::RunResult;
using testing_support::TempDir;

const testing_support::Cli kStampview(STAMPVIEW_PATH, "stampview");

std::string Version(int major, int minor, int release_step) {
  std::string s(12, '\0');
  PutWord(&s, 0, static_cast<uint32_t>(release_step | minor << 16 | major << 24));
  PutWord(&s, 4, 0xDEC00621);
  PutWord(&s, 8, 0x2106C0DE);
  return s;
}

std::string BuildType(int index, int processor, int format = 1) {
  std::string s(16, '\0');
  s[0] = static_cast<char>(index);
  s[1] = static_cast<char>(processor);
  s[4] = static_cast<char>(format);
  PutWord(&s, 8, 0xDEC08133);
  PutWord(&s, 12, 0x3381C0DE);
  return s;
}

// A ROM header whose ARM9 segment covers 0x100-0x124; records follow.
std::string Rom() {
  std::string rom(0x100, '\0');
  PutSegments(&rom, 0x100, 0x027FFFFC, 0x02000000, 0x25, 0, 0, 0, 0);
  return rom;
}

std::string ScanProgram(const std::string& program, RunResult* r) {
  TempDir dir;
  dir.Write("game.srl", program);
  *r = kStampview.Run(dir, {"game.srl"});
  return r->out;
}

TEST(StampviewCli, ShowsEachReleaseStepKind) {
  std::string rom = Rom();
  // The first three end inside the ARM9 static segment.
  for (int step : {20000, 20100, 30000, 30002, 10300, 10650, 10651, 0, 40000, 10699, 21234}) {
    rom += Version(step == 0 ? 4 : 2, step % 3 == 0 ? 2 : 10, step);
  }
  rom += Version(0, 0, 20000);  // no version: the first bit of the status
  rom += BuildType(1, 9) + BuildType(1, 7);
  RunResult r;
  ExpectGolden(TEST_DATA_DIR "/stampview_release_steps.stdout", ScanProgram(rom, &r));
  EXPECT_EQ(r.err, "** Error: No version information in 'game.srl'\n(older than 2.0FC?)\n");
  EXPECT_EQ(r.status, 1);
}

TEST(StampviewCli, ScansABareProgramFromTheStart) {
  // Without a ROM header the scan starts at 0, where the window still holds
  // zeros, and no record is a static module even with a segment-like header.
  std::string program = Version(2, 0, 20000).substr(4) + std::string(44, '\0');
  PutWord(&program, 0x20, 0);
  PutWord(&program, 0x2C, 0x1000);
  program += Version(3, 1, 30000);
  // Off the 4-byte grid: not found.
  program += std::string(2, '\0') + Version(2, 2, 20100) + std::string(2, '\0');
  program += BuildType(0xFF, 9).substr(0, 15) + std::string(1, '\0') + BuildType(7, 7) + BuildType(2, 7, 0);
  RunResult r;
  EXPECT_EQ(ScanProgram(program, &r),
            "DRAVO-SDK VERSION: 0.00 test\n"
            "DRAVO-SDK VERSION: 3.01 RELEASE\n"
            "BUILD_TYPE:ARM7 Unknown(7)\n");
  EXPECT_EQ(r.err, "** Error: No version information in 'game.srl'\n(older than 2.0FC?)\n");
  EXPECT_EQ(r.status, 1);
}

TEST(StampviewCli, FlagsBuildTypeMismatch) {
  RunResult r;
  EXPECT_EQ(ScanProgram(Rom() + BuildType(2, 9) + BuildType(2, 7) + BuildType(0, 7), &r),
            "BUILD_TYPE:ARM9 DEBUG\nBUILD_TYPE:ARM7 DEBUG\nBUILD_TYPE:ARM7 FINALROM\n");
  EXPECT_EQ(r.err, "** Error: Build type mismatch\n");
  EXPECT_EQ(r.status, 2);

  EXPECT_EQ(ScanProgram(Version(0, 5, 0) + Rom() + BuildType(1, 9) + BuildType(0xFF, 7), &r),
            "DRAVO-SDK VERSION: 0.05 test\nBUILD_TYPE:ARM9 RELEASE\nBUILD_TYPE:ARM7 Invalid\n");
  EXPECT_EQ(r.err,
            "** Error: No version information in 'game.srl'\n(older than 2.0FC?)\n"
            "** Error: Build type mismatch\n");
  EXPECT_EQ(r.status, 3);

  EXPECT_EQ(ScanProgram(Rom() + std::string(3, '\0'), &r), "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST(StampviewCli, ReportsEveryOneOfManyBuildTypeRecords) {
  std::string program = Rom();
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    program += BuildType(i == 4999 ? 2 : 0, 9);
    expected += i == 4999 ? "BUILD_TYPE:ARM9 DEBUG\n" : "BUILD_TYPE:ARM9 FINALROM\n";
  }
  RunResult r;
  EXPECT_TRUE(ScanProgram(program, &r) == expected);
  EXPECT_EQ(r.err, "** Error: Build type mismatch\n");
  EXPECT_EQ(r.status, 2);
}

TEST(StampviewCli, RefusesMissingShortAndSpecialFiles) {
  TempDir dir;
  dir.Write("short.bin", std::string(47, '\0'));
  dir.Write("folder/x", std::string("x"));
  for (const std::string name : {"missing.srl", "short.bin", "folder", "/dev/zero"}) {
    RunResult r = kStampview.Run(dir, {name});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error: Cannot open '" + name + "'\n");
  }
}

TEST(StampviewCli, UsageForAnyOtherOperandCount) {
  TempDir dir;
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
    RunResult r = kStampview.Run(dir, args);
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, "");
    ExpectGolden(TEST_DATA_DIR "/stampview_usage.stderr", r.err);
  }
}

TEST(StampviewCli, FaultRows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  const std::string rom = Rom() + Version(2, 2, 20100) + BuildType(1, 9) + BuildType(1, 7);
  const std::string lines = "DRAVO-SDK VERSION: 2.02 RC1 [STATIC MODULE]\nBUILD_TYPE:ARM9 RELEASE\n";
  testing_support::FaultTool tool;
  tool.program = STAMPVIEW_PATH;
  tool.inputs = {{"game.srl", rom}};
  tool.args = [](const std::string&) { return std::vector<std::string>{"game.srl"}; };
  tool.writes_output = false;
  // The image is cut inside its header, then inside its last record.
  const std::vector<romtools_test::Cut> cuts = {{"game.srl", rom.substr(0, 0x20), ""},
                                                {"game.srl", rom.substr(0, rom.size() - 6), lines}};
  romtools_test::ExpectFaultRowsForEachCut(tool, cuts, [](Fault fault, const std::string& path, const auto& cut) {
    if (fault == Fault::kInputTruncated && !cut.err.empty()) return Outcome{0, cut.err, ""};
    if (fault == Fault::kStdoutFull) return Outcome{1, "", "Error: Cannot write 'stdout'\n"};
    // A missing input, a folder, a pipe or a file shorter than the header.
    return Outcome{1, "", "Error: Cannot open '" + path + "'\n"};
  });
}

}  // namespace
