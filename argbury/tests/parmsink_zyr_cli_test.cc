// End-to-end tests of parmsink.ZYR: the fixed 256-byte area at 0xE00.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/golden.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempDir;

constexpr size_t kArea = 0xE00;

// `size` bytes of a pattern without any marker, the game-code bit set.
std::string Image(size_t size) {
  std::string image(size, '\0');
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<char>(0x80 | ((i * 13) & 0x7F));
  image[12] = 0x02;
  return image;
}

RunResult Zyr(const TempDir& dir, const std::vector<std::string>& args) {
  RunOptions options;
  options.argv0 = "parmsink.ZYR";
  return RunProgram(PARMSINK_ZYR_PATH, args, dir.path(), options);
}

void ExpectResult(const RunResult& r, int status, const std::string& out, const std::string& err) {
  EXPECT_EQ(r.status, status);
  EXPECT_EQ(r.out, out);
  EXPECT_EQ(r.err, err);
}

TEST(ParmsinkZyrCli, InPlaceWritesTheWholeAreaAndACopyOnlyThePackedBytes) {
  TempDir dir;
  const std::string image = Image(0x2000);
  dir.Write("game.srl", image);
  ExpectResult(Zyr(dir, {"-v", "-r", "game.srl", "x"}), 0,
               "destination bin file: game.srl.argAdded\n"
               "original bin file   : game.srl\n"
               "output 0x2000 byte (8192 byte).\n"
               "Success.\n",
               "");
  std::string copy = image;
  copy.replace(kArea, 12, std::string("game.srl\0x\0\0", 12));
  EXPECT_EQ(dir.Read("game.srl.argAdded"), copy);

  ExpectResult(Zyr(dir, {"-v", "game.srl", "x"}), 0,
               "original bin file   : game.srl\nreplaced 0x100 byte.\nSuccess.\n", "");
  std::string in_place = image;
  in_place.replace(kArea, 256, std::string("game.srl\0x\0\0", 12) + std::string(244, '\0'));
  EXPECT_EQ(dir.Read("game.srl"), in_place);
}

TEST(ParmsinkZyrCli, ReplacementFileFillsTheAreaInPlaceAndThePackedBytesInACopy) {
  TempDir dir;
  const std::string image = Image(0x1000);
  std::string replacement(300, '\0');
  for (size_t i = 0; i < replacement.size(); ++i) replacement[i] = static_cast<char>(i + 1);
  dir.Write("game.srl", image);
  dir.Write("repl.bin", replacement);
  ExpectResult(Zyr(dir, {"-q", "-f", "repl.bin", "-o", "copy.srl", "game.srl", "ab"}), 0, "", "");
  std::string copy = image;
  copy.replace(kArea, 13, replacement.substr(0, 13));  // game.srl, ab and the closing NULs
  EXPECT_EQ(dir.Read("copy.srl"), copy);
  ExpectResult(Zyr(dir, {"-f", "repl.bin", "game.srl"}), 0, "Success.\n", "");
  std::string in_place = image;
  in_place.replace(kArea, 256, replacement.substr(0, 256));
  EXPECT_EQ(dir.Read("game.srl"), in_place);
}

// A list longer than the area would lose its closing NULs in place and run
// past the area in a copy: refused either way. One that fills the area
// exactly ends in its last byte.
TEST(ParmsinkZyrCli, ListLongerThanTheAreaIsRefused) {
  TempDir dir;
  const std::string image = Image(0xF00);  // ends with the area
  dir.Write("game.srl", image);
  const std::string too_long(246, 'a');  // "game.srl", it and three NULs: 257 bytes
  for (const char* mode : {"-r", "--stdout", "-q"}) {
    ExpectResult(Zyr(dir, {mode, "game.srl", too_long}), 2, "", "Error: parmsink: arguments too long.\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"game.srl"});
    EXPECT_EQ(dir.Read("game.srl"), image);
  }
  const std::string fits = too_long.substr(1);
  ExpectResult(Zyr(dir, {"-q", "game.srl", fits}), 0, "", "");
  std::string in_place = image;
  in_place.replace(kArea, 256, "game.srl" + std::string(1, '\0') + fits + std::string(2, '\0'));
  EXPECT_EQ(dir.Read("game.srl"), in_place);
}

TEST(ParmsinkZyrCli, ListFilesAndRefusals) {
  TempDir dir;
  const std::string image = Image(0x1000);
  dir.Write("sub/main.srl", image);
  dir.Write("sub/other.srl", image);
  // "H," needs no "T," before it.
  dir.Write("game.zlf", "#ZLF\nH,\"other.srl\"\nH,\"x\\main.srl\nH,\"main.srl\"\nT,\"sub\"\n");
  ExpectResult(Zyr(dir, {"-v", "-r", "game.zlf", "y"}), 0,
               "destination bin file: sub/main.srl.argAdded\n"
               "zlf current directory is sub\n"
               "original bin file   : main.srl\n"
               "output 0x1000 byte (4096 byte).\n"
               "Success.\n",
               "");
  std::string copy = image;
  copy.replace(kArea, 22, std::string("other.srl\0main.srl\0y\0\0", 22));
  EXPECT_EQ(dir.Read("sub/main.srl.argAdded"), copy);

  std::string not_for_rom = image;
  not_for_rom[12] = 0x01;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"#DLF\nT,\"sub\"\n9,\"a\",\"main.srl\"\n", "Error: parmsink: cannot access to dlf file.\n"},
      {"#ZLF\nT,\"sub\"\n", "Error: parmsink: illegal zlf file.\n"},
      {"#ZLF\nH,\"main.srl\"\nT,\"missing\"\n", "Error: parmsink: illegal zlf file.\n"},
      {not_for_rom, "Error: parmsink: ROM is not for ZYR.\n"},
      {image.substr(0, 0xEFF), "Error: parmsink: bad argument mark position.\n"},
  };
  for (const auto& [input, err] : cases) {
    for (const char* mode : {"-q", "-r"}) {
      dir.Write("input.bin", input);
      ExpectResult(Zyr(dir, {mode, "input.bin"}), 2, "", err);
      EXPECT_EQ(dir.Read("input.bin"), input);
      EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.zlf", "input.bin", "sub"}));
    }
  }
}

TEST(ParmsinkZyrCli, UsageAndVersion) {
  TempDir dir;
  const RunResult help = Zyr(dir, {"-h"});
  EXPECT_EQ(help.status, 1);
  EXPECT_EQ(help.err, "");
  testing_support::ExpectGolden(TEST_DATA_DIR "/parmsink_zyr_usage.stdout", help.out);
  ExpectResult(Zyr(dir, {"--version"}), 1,
               "ZYR-SDK Development Tool - parmsink.ZYR - Bury argument strings\nBuild 20080919\n", "");
}

// The faults an image, a copy or the disk can bring: a clear message, status
// 2, and neither the copy's old file nor the image itself damaged.
TEST(ParmsinkZyrCli, FaultRows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  const std::string image = Image(0x2000);
  testing_support::FaultTool copy;
  copy.program = PARMSINK_ZYR_PATH;
  copy.inputs = {{"game.srl", image}};
  copy.args = [](const std::string& output) { return std::vector<std::string>{"-o", output, "game.srl", "x"}; };
  copy.expected = image;
  copy.expected.replace(kArea, 12, std::string("game.srl\0x\0\0", 12));
  copy.input = "game.srl";
  copy.truncated = image.substr(0, kArea + 0x80);  // the area runs past the end
  copy.outcome = [&](Fault fault, const std::string&) -> Outcome {
    switch (fault) {
      case Fault::kFullDevice:
      case Fault::kDiskFull:
        return {2, "", "Error: parmsink: cannot write output file.\n"};
      case Fault::kFolderNotWritable:
      case Fault::kOutputIsFolder:
        return {2, "", "Error: parmsink: cannot open output file.\n"};
      case Fault::kInputTruncated:
        return {2, "", "Error: parmsink: bad argument mark position.\n"};
      case Fault::kStdoutFull:
        return {2, "", "Error: parmsink: cannot write standard output.\n"};
      default:  // a missing image, a folder or a pipe
        return {2, "", "Error: parmsink: cannot open binary file.\n"};
    }
  };
  copy.strict_rows = true;
  copy.same_file_outcome = [](const std::string& output, const std::string& input) -> Outcome {
    return {2, "", "Error: parmsink: output file '" + output + "' is the same file as '" + input + "'.\n"};
  };
  testing_support::ExpectFaultRows(copy);

  // In place the image is the output: the same input rows.
  testing_support::FaultTool in_place = copy;
  in_place.args = [](const std::string&) { return std::vector<std::string>{"game.srl", "x"}; };
  in_place.writes_output = false;
  testing_support::ExpectFaultRows(in_place);

  // The disk filling up while the area is written in place: the image keeps
  // its old bytes.
  for (const long long limit : {0xE80LL, 0xE00LL}) {  // inside the area, at its start
    SCOPED_TRACE(limit);
    TempDir dir;
    dir.Write("game.srl", image);
    RunOptions options;
    options.file_size_limit = limit;
    const RunResult r = RunProgram(PARMSINK_ZYR_PATH, {"game.srl", "x"}, dir.path(), options);
    ExpectResult(r, 2, "", "Error: parmsink: cannot write binary file.\n");
    EXPECT_TRUE(dir.Read("game.srl") == image) << "the image was damaged";
    EXPECT_EQ(dir.List(), std::vector<std::string>{"game.srl"});
  }
}

}  // namespace
