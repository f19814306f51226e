// End-to-end tests of parmsink.ZYR: the fixed 256-byte area at 0xE00.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "burier_rows.h"
#include "testing/golden.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

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

const testing_support::Cli kZyr(PARMSINK_ZYR_PATH, "parmsink.ZYR");
using argbury_test::ExpectResult;

TEST(ParmsinkZyrCli, InPlaceWritesTheWholeAreaAndACopyOnlyThePackedBytes) {
  TempDir dir;
  const std::string image = Image(0x2000);
  dir.Write("game.srl", image);
  ExpectResult(kZyr.Run(dir, {"-v", "-r", "game.srl", "x"}), 0,
               "destination bin file: game.srl.argAdded\n"
               "original bin file   : game.srl\n"
               "output 0x2000 byte (8192 byte).\n"
               "Success.\n",
               "");
  std::string copy = image;
  copy.replace(kArea, 12, std::string("game.srl\0x\0\0", 12));
  EXPECT_EQ(dir.Read("game.srl.argAdded"), copy);

  ExpectResult(kZyr.Run(dir, {"-v", "game.srl", "x"}), 0,
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
  ExpectResult(kZyr.Run(dir, {"-q", "-f", "repl.bin", "-o", "copy.srl", "game.srl", "ab"}), 0, "", "");
  std::string copy = image;
  copy.replace(kArea, 13, replacement.substr(0, 13));  // game.srl, ab and the closing NULs
  EXPECT_EQ(dir.Read("copy.srl"), copy);
  ExpectResult(kZyr.Run(dir, {"-f", "repl.bin", "game.srl"}), 0, "Success.\n", "");
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
    ExpectResult(kZyr.Run(dir, {mode, "game.srl", too_long}), 2, "", "Error: parmsink: arguments too long.\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"game.srl"});
    EXPECT_EQ(dir.Read("game.srl"), image);
  }
  const std::string fits = too_long.substr(1);
  ExpectResult(kZyr.Run(dir, {"-q", "game.srl", fits}), 0, "", "");
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
  ExpectResult(kZyr.Run(dir, {"-v", "-r", "game.zlf", "y"}), 0,
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
      ExpectResult(kZyr.Run(dir, {mode, "input.bin"}), 2, "", err);
      EXPECT_EQ(dir.Read("input.bin"), input);
      EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.zlf", "input.bin", "sub"}));
    }
  }
}

TEST(ParmsinkZyrCli, UsageAndVersion) {
  TempDir dir;
  const RunResult help = kZyr.Run(dir, {"-h"});
  EXPECT_EQ(help.status, 1);
  EXPECT_EQ(help.err, "");
  testing_support::ExpectGolden(TEST_DATA_DIR "/parmsink_zyr_usage.stdout", help.out);
  ExpectResult(kZyr.Run(dir, {"--version"}), 1,
               "ZYR-SDK Development Tool - parmsink.ZYR - Bury argument strings\nBuild 20080919\n", "");
}

argbury_test::BurierRows Rows() {
  argbury_test::BurierRows rows;
  rows.program = PARMSINK_ZYR_PATH;
  rows.image = Image(0x2000);
  rows.arguments = {"x"};
  rows.copy = rows.image;
  rows.copy.replace(kArea, 12, std::string("game.srl\0x\0\0", 12));
  rows.truncated = rows.image.substr(0, kArea + 0x80);  // the area runs past the end
  rows.truncated_err = "bad argument mark position.\n";
  rows.in_place_limits = {0xE80, 0xE00};  // inside the area, at its start
  return rows;
}

TEST(ParmsinkZyrCli, OutputRows) { argbury_test::ExpectBurierOutputRows(Rows()); }

// The faults an image, a copy or the disk can bring: a clear message, status
// 2, and neither the copy's old file nor the image itself damaged.
TEST(ParmsinkZyrCli, FaultRows) { argbury_test::ExpectBurierFaultRows(Rows()); }

}  // namespace
