// End-to-end tests of parmsink on generated first-generation images.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iostream>
#include <string>
#include <vector>

#include "burier_rows.h"
#include "image_io.h"
#include "testing/golden.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using testing_support::ExpectGolden;
using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempDir;

const std::string kMarker = ":$@$Argument$@$:";
const std::string kNoMarker = "Error: parmsink: cannot replace because bin file has no argument id string.\n";

// An image of `size` bytes of a fixed pattern with the game-code bit set and,
// unless `at` is npos, the marker at `at`, then two spare bytes, the 16-bit
// size and a buffer of 0xEE bytes.
std::string Image(size_t size, size_t at, unsigned area_size) {
  std::string image(size, '\0');
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<char>((i * 7 + i / 251) & 0x7F);
  image[12] = 0x42;
  if (at == std::string::npos) return image;
  std::string area = kMarker + std::string("\x11\x22", 2);
  area += static_cast<char>(area_size & 0xFF);
  area += static_cast<char>(area_size >> 8);
  area += std::string(area_size, '\xEE');
  image.replace(at, std::min(area.size(), size - at), area.substr(0, size - at));
  return image;
}

// What the buffer of `size` bytes holds for these strings.
std::string Area(const std::vector<std::string>& strings, size_t size) {
  std::string area;
  for (const std::string& s : strings) area += s + '\0';
  area.resize(size, '\0');
  area[size - 2] = area[size - 1] = '\0';
  return area;
}

// `image` with its buffer (at + 20) replaced by `area`.
std::string Buried(std::string image, size_t at, const std::string& area) {
  return image.replace(at + 20, area.size(), area);
}

const testing_support::Cli kParmsink(PARMSINK_PATH, "parmsink");
using argbury_test::ExpectResult;

TEST(ParmsinkCli, InPlaceBuriesFileNameAndArguments) {
  TempDir dir;
  const std::string image = Image(4096, 0x200, 32);
  dir.Write("dir/game.srl", image);
  ExpectResult(kParmsink.Run(dir, {"dir/game.srl", "a", "bc"}), 0, "Success.\n", "");
  EXPECT_EQ(dir.Read("dir/game.srl"), Buried(image, 0x200, Area({"game.srl", "a", "bc"}, 32)));
  EXPECT_EQ(dir.List(), std::vector<std::string>{"dir"});
}

TEST(ParmsinkCli, CopyModesLeaveTheImageUntouched) {
  const std::string image = Image(5000, 0x333, 64);
  const std::string buried = Buried(image, 0x333, Area({"game.srl", "-x", "two words"}, 64));
  struct Case {
    std::vector<std::string> options;
    std::string output;  // empty: standard output
  };
  const std::vector<Case> cases = {
      {{"-r"}, "game.srl.argAdded"}, {{"--rep"}, "game.srl.argAdded"}, {{"-o", "out.srl"}, "out.srl"},
      {{"-o=out.srl"}, "out.srl"},   {{"--output==out.srl"}, "out.srl"}, {{"--stdout"}, ""},
      {{"-o-"}, ""},                 {{"-o", "-anything"}, ""},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("game.srl", image);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"game.srl", "-x", "two words"});
    // Standard output takes the image in binary mode, then "Success." as text.
    RunOptions options;
    options.binary_stdout = true;
    const RunResult r = RunProgram(PARMSINK_PATH, args, dir.path(), options);
    SCOPED_TRACE(args[0]);
    if (c.output.empty()) {
      ExpectResult(r, 0, buried + testing_support::WrittenAsText("Success.\n"), "");
      EXPECT_EQ(dir.List(), std::vector<std::string>{"game.srl"});
    } else {
      ExpectResult(r, 0, testing_support::WrittenAsText("Success.\n"), "");
      EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.srl", c.output}));
      EXPECT_EQ(dir.Read(c.output), buried);
    }
    EXPECT_EQ(dir.Read("game.srl"), image);
  }
}

TEST(ParmsinkCli, CutsArgumentsAndReplacementFilesToTheArea) {
  TempDir dir;
  const std::string image = Image(3000, 0x100, 8);
  dir.Write("game.srl", image);
  ExpectResult(kParmsink.Run(dir, {"-q", "-r", "game.srl", "longer"}), 0, "", "");
  EXPECT_EQ(dir.Read("game.srl.argAdded"), Buried(image, 0x100, std::string("game.s\0\0", 8)));

  // Shorter than the area: zeros after it. As long: its last two bytes go.
  dir.Write("short.bin", std::string("xyz"));
  dir.Write("exact.bin", std::string("12345678"));
  ExpectResult(kParmsink.Run(dir, {"-o", "s.srl", "-f", "short.bin", "game.srl", "ignored"}), 0, "Success.\n", "");
  EXPECT_EQ(dir.Read("s.srl"), Buried(image, 0x100, std::string("xyz\0\0\0\0\0", 8)));
  ExpectResult(kParmsink.Run(dir, {"-o", "e.srl", "-f=exact.bin", "game.srl"}), 0, "Success.\n", "");
  EXPECT_EQ(dir.Read("e.srl"), Buried(image, 0x100, std::string("123456\0\0", 8)));

  // Bigger than the working buffer: a warning without a line end.
  std::string big(70000, 'b');
  dir.Write("big.bin", big);
  ExpectResult(kParmsink.Run(dir, {"-f", "big.bin", "game.srl"}), 0,
               "warning: replacement file is bigger than required size.Success.\n", "");
  EXPECT_EQ(dir.Read("game.srl"), Buried(image, 0x100, std::string("bbbbbb\0\0", 8)));
  ExpectResult(kParmsink.Run(dir, {"-q", "-f", "big.bin", "game.srl"}), 0, "", "");
}

TEST(ParmsinkCli, FindsTheFirstMarkerAfterColonsAndPartialMarkersAndAcrossBlocks) {
  struct Case {
    std::string before;
    size_t at;
  };
  // The last: the marker begins in one block that the tool reads and ends in the next.
  const size_t seam = argbury::kBlockSize - 7;
  for (const Case& c : std::vector<Case>{{":", 0x400}, {":$@$Argum", 0x400}, {"", seam}}) {
    TempDir dir;
    std::string image = Image(argbury::kBlockSize + 5000, c.at, 16);
    image.replace(c.at - c.before.size(), c.before.size(), c.before);
    // A second area later on stays as it is.
    image.replace(image.size() - 100, kMarker.size(), kMarker);
    dir.Write("game.srl", image);
    const std::string buried = Buried(image, c.at, Area({"game.srl", "x"}, 16));
    ExpectResult(kParmsink.Run(dir, {"-q", "-o", "copy.srl", "game.srl", "x"}), 0, "", "");
    EXPECT_TRUE(dir.Read("copy.srl") == buried);
    ExpectResult(kParmsink.Run(dir, {"-q", "game.srl", "x"}), 0, "", "");
    EXPECT_TRUE(dir.Read("game.srl") == buried);
  }
}

TEST(ParmsinkCli, VerboseAndDebugLinesInOrder) {
  TempDir dir;
  dir.Write("game.srl", Image(2048, 0x1F0, 300));
  dir.Write("repl.bin", std::string("r\x01\x80 ~", 5));
  const RunResult f = kParmsink.Run(dir, {"-vd", "-f", "repl.bin", "game.srl"});
  EXPECT_EQ(f.status, 0);
  EXPECT_EQ(f.err, "");
  ExpectGolden(TEST_DATA_DIR "/verbose_replacement.stdout", f.out);
}

TEST(ParmsinkCli, ListFileNamesTheBinaryRelativeToItsFolder) {
  TempDir dir;
  const std::string image = Image(1024, 0x80, 64);
  dir.Write("work/sub/bin/main.srl", image);
  // Lines without the quotes are ignored, as is a "9," line before "T,".
  dir.Write("lists/game.dlf",
            "#DLF\r\n9,\"a\",\"early.srl\"\r\nT,\"sub\r\nT,\"work/sub\"\r\n"
            "9,\"a\",\"bin/first.srl\",\"b\"\r\n9,\"a\",\"b\r\n9,\"a\",\"bin\\main.srl\"\r\n"
            "9,\"a\",\"bin/main.srl\"\r\n");
  const RunResult r = kParmsink.Run(dir, {"-v", "-r", "lists/game.dlf", "x"});
  ExpectResult(r, 0,
               "destination bin file: work/sub/bin/main.srl.argAdded\n"
               "dlf current directory is work/sub\n"
               "original bin file   : bin/main.srl\n"
               "found argument identification string at 0x80 byte from top.\n"
               "buffer size = 0x40 byte\n"
               "output 0x400 byte (1024 byte).\n"
               "Success.\n",
               "");
  EXPECT_EQ(dir.Read("work/sub/bin/main.srl.argAdded"),
            Buried(image, 0x80, Area({"first.srl", "main.srl", "main.srl", "x"}, 64)));
  // An output named on the command line stays relative to the starting folder.
  ExpectResult(kParmsink.Run(dir, {"-q", "-o", "out.srl", "lists/game.dlf"}), 0, "", "");
  EXPECT_EQ(dir.Read("out.srl"), Buried(image, 0x80, Area({"first.srl", "main.srl", "main.srl"}, 64)));
  // The list's folder is taken from the working folder, not from the list's.
  ExpectResult(RunProgram(PARMSINK_PATH, {"game.dlf"}, dir.File("lists")), 2, "",
               "Error: parmsink: illegal dlf file.\n");
  EXPECT_EQ(dir.Read("work/sub/bin/main.srl"), image);
}

TEST(ParmsinkCli, RefusesBadListFiles) {
  const std::string illegal = "Error: parmsink: illegal dlf file.\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"#DLF\n9,\"a\",\"game.srl\"\nT,\".\"\n", illegal},
      {"#DLF\nT,\".\"\n9,\"a\",\"game.srl\n", illegal},
      {"#DLF\nT,\"missing\"\n9,\"a\",\"game.srl\"\n", illegal},
      {"#DLF", illegal},
      {"#DLF\nT,\".\"\n9,\"a\",\"" + std::string(70000, '/') + "game.srl\"\n", illegal},  // over 64 KiB
      {"#ZLF\nH,\"game.srl\"\n", "Error: parmsink: cannot access to zlf file.\n"},
  };
  for (const auto& [list, err] : cases) {
    TempDir dir;
    dir.Write("game.srl", Image(512, 0x40, 16));
    dir.Write("game.lst", list);
    ExpectResult(kParmsink.Run(dir, {"-r", "game.lst"}), 2, "", err);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.lst", "game.srl"})) << list;
  }
}

TEST(ParmsinkCli, ErrorsLeaveEveryFileAsItWas) {
  const std::string image = Image(600, 0x100, 16);
  std::string not_for_rom = image;
  not_for_rom[12] = 0x40;
  std::string size0 = image, size1 = image, too_big = image, cut = image.substr(0, 0x113);
  size0[0x112] = size1[0x113] = 0;
  size1[0x112] = 1;
  too_big[0x113] = 2;  // 0x210 bytes from 0x114: past the end
  const std::string kBadSize = "Error: parmsink: bad argument size.\n";
  struct Case {
    std::string image;
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {Image(600, std::string::npos, 0), {"game.srl"}, kNoMarker},
      {size0, {"game.srl"}, kBadSize},
      {size1, {"game.srl"}, kBadSize},
      {too_big, {"game.srl"}, kBadSize},
      {cut, {"game.srl"}, kBadSize},
      {not_for_rom, {"game.srl"}, "Error: parmsink: ROM is not for DRAVO.\n"},
      {image.substr(0, 31), {"game.srl"}, "Error: parmsink: ROM is not for DRAVO.\n"},
      {image, {"missing.srl"}, "Error: parmsink: cannot open binary file.\n"},
      {image, {"."}, "Error: parmsink: cannot open binary file.\n"},
      {image, {"-f", "missing.bin", "game.srl"}, "Error: parmsink: cannot open replacement file.\n"},
      {image, {"-f", ".", "game.srl"}, "Error: parmsink: cannot open replacement file.\n"},
      {image, {"-o", "", "game.srl"}, "Error: parmsink: output file is not specified.\n"},
      {image, {"--output=", "game.srl"}, "Error: parmsink: output file is not specified.\n"},
      {image, {"-f=", "game.srl"}, "Error: parmsink: replacement file is not specified.\n"},
      {image, {"-o", "no/such/dir", "game.srl"}, "Error: parmsink: cannot open output file.\n"},
      {image, {"--remain", "game.srl"}, "Error: parmsink: unknown option or invalid usage. try --help.\n"},
      {image, {"-x", "-h", "game.srl"}, "Error: parmsink: unknown option or invalid usage. try --help.\n"},
      {image, {"game.srl", "-o"}, ""},  // after the image, options are arguments: this one succeeds
      {image, {"-o"}, "Error: parmsink: unknown option or invalid usage. try --help.\n"},
      {image, {"game.srl", std::string(65536 - 9, 'a')}, "Error: parmsink: arguments too long.\n"},
  };
  const char* no_long_lines = testing_support::Lacks(testing_support::Need::kLongCommandLine);
  if (no_long_lines != nullptr) std::cerr << "note: row skipped (arguments too long): " << no_long_lines << "\n";
  for (const Case& c : cases) {
    if (no_long_lines != nullptr && c.args.back().size() > 32767) continue;
    for (const char* mode : {"", "-r", "--stdout", "-oprior.bin"}) {
      TempDir dir;
      dir.Write("game.srl", c.image);
      dir.Write("prior.bin", std::string("prior"));
      std::vector<std::string> args;
      if (*mode) args.emplace_back(mode);
      args.insert(args.end(), c.args.begin(), c.args.end());
      const RunResult r = kParmsink.Run(dir, args);
      SCOPED_TRACE(testing::PrintToString(args).substr(0, 80));
      if (c.err.empty()) {
        EXPECT_EQ(r.status, 0);
        continue;
      }
      ExpectResult(r, 2, "", c.err);
      EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.srl", "prior.bin"}));
      EXPECT_EQ(dir.Read("game.srl"), c.image);
      EXPECT_EQ(dir.Read("prior.bin"), "prior");
    }
  }
  TempDir dir;
  dir.Write("game.srl", image);
  // Names packed from a list pass the limit too (on every system, whatever
  // its longest command line).
  std::string list = "#DLF\nT,\".\"\n";
  for (int i = 0; i < 100; ++i) list += "9,\"\",\"" + std::string(700, 'n') + "\"\n";
  dir.Write("long.dlf", list);
  ExpectResult(kParmsink.Run(dir, {"-r", "long.dlf"}), 2, "", "Error: parmsink: arguments too long.\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.srl", "long.dlf"}));
  ASSERT_EQ(chmod(dir.File("game.srl").c_str(), 0444), 0);
  if (access(dir.File("game.srl").c_str(), W_OK) != 0) {  // not when run as root
    ExpectResult(kParmsink.Run(dir, {"game.srl"}), 2, "", "Error: parmsink: cannot open binary file.\n");
  }
  EXPECT_EQ(dir.Read("game.srl"), image);
  if (const char* why = testing_support::Lacks(testing_support::Need::kDeviceFiles)) GTEST_SKIP() << why;
  ExpectResult(kParmsink.Run(dir, {"-o", "/dev/full", "game.srl"}), 2, "",
               "Error: parmsink: cannot write output file.\n");
  EXPECT_EQ(dir.Read("game.srl"), image);
}

// An output that is one of the run's inputs (the image, the list, the
// replacement file; the list's own folder changes nothing), or a standard
// output that fails: status 2 and every file as it was.
TEST(ParmsinkCli, AFailedRunChangesNoFile) {
  const std::string image = Image(1024, 0x80, 64);
  const std::string list = "#DLF\nT,\"work\"\n9,\"a\",\"game.srl\"\n";
  struct Case {
    std::vector<std::string> args;
    std::string err;
    bool stdout_full;
  };
  const std::string same = "Error: parmsink: output file ";
  const std::vector<Case> cases = {
      {{"-o", "game.dlf", "game.dlf"}, same + "'game.dlf' is the same file as 'game.dlf'.\n", false},
      {{"-o", "work/game.srl", "game.dlf"}, same + "'work/game.srl' is the same file as 'game.srl'.\n", false},
      {{"-o", "repl.bin", "-f", "repl.bin", "game.dlf"}, same + "'repl.bin' is the same file as 'repl.bin'.\n", false},
      {{"-f", "repl.bin", "work/game.srl"}, "Error: parmsink: cannot write standard output.\n", true},
      {{"-v", "-q", "work/game.srl"}, "Error: parmsink: cannot write standard output.\n", true},
      {{"-r", "game.dlf"}, "Error: parmsink: cannot write standard output.\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    TempDir dir;
    dir.Write("work/game.srl", image);
    dir.Write("game.dlf", list);
    dir.Write("repl.bin", std::string("replacement"));
    RunOptions options;
    if (c.stdout_full) {
      if (const char* why = testing_support::Lacks(testing_support::Need::kDeviceFiles)) {
        std::cerr << "note: row skipped (standard output is /dev/full): " << why << "\n";
        continue;
      }
      options.stdout_path = "/dev/full";
    }
    const RunResult r = RunProgram(PARMSINK_PATH, c.args, dir.path(), options);
    ExpectResult(r, 2, "", c.err);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.dlf", "repl.bin", "work"}));
    EXPECT_EQ(dir.Read("work/game.srl"), image);
    EXPECT_FALSE(dir.Exists("work/game.srl.argAdded"));
    EXPECT_EQ(dir.Read("game.dlf"), list);
  }
}

TEST(ParmsinkCli, UsageAndVersion) {
  TempDir dir;
  const RunResult help = kParmsink.Run(dir, {"-q", "--help", "-r"});
  EXPECT_EQ(help.status, 1);
  EXPECT_EQ(help.err, "");
  ExpectGolden(TEST_DATA_DIR "/parmsink_usage.stdout", help.out);
  ExpectResult(kParmsink.Run(dir, {"-v"}), 1, help.out, "");
  ExpectResult(kParmsink.Run(dir, {"-h", "missing.srl"}), 1, help.out, "");
  ExpectResult(kParmsink.Run(dir, {"--version", "--bad"}), 1,
               "DRAVO-SDK Development Tool - parmsink - Bury argument strings\nBuild 20080919\n", "");
}

// The simulated debugger library reads the area back as the program would.
TEST(ParmsinkCli, BuriedArgumentsReachTheSimulatedProgram) {
  TempDir dir;
  dir.Write("game.srl", Image(20000, 0x3000, 128));
  ExpectResult(kParmsink.Run(dir, {"-q", "game.srl", "-x", "two words"}), 0, "", "");
  RunOptions options;
  options.env = {"BOOTCAST_TEST_SETTLE_MS=0"};
  const RunResult r = RunProgram(BOOTCAST_PATH, {"game.srl"}, dir.path(), options);
  ExpectResult(r, 0, "game.srl\n-x\ntwo words\n*** Exit Dravo/Zyr program (status=0)\n", "");
}

argbury_test::BurierRows Rows() {
  argbury_test::BurierRows rows;
  rows.program = PARMSINK_PATH;
  rows.image = Image(8192, 0x1800, 64);
  rows.arguments = {"a", "bc"};
  rows.copy = Buried(rows.image, 0x1800, Area({"game.srl", "a", "bc"}, 64));
  rows.truncated = rows.image.substr(0, 0x1800 + 40);  // the buffer runs past the end
  rows.truncated_err = "bad argument size.\n";
  rows.in_place_limits = {0x1800 + 20 + 32, 0x1800 + 20};
  return rows;
}

TEST(ParmsinkCli, OutputRows) { argbury_test::ExpectBurierOutputRows(Rows()); }

// The faults an image, a copy or the disk can bring: a clear message, status
// 2, and neither the copy's old file nor the image itself damaged.
TEST(ParmsinkCli, FaultRows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  const argbury_test::BurierRows rows = Rows();
  argbury_test::ExpectBurierFaultRows(rows);

  // The replacement file as the input: a pipe is refused without waiting,
  // a short file fills the area in part.
  const testing_support::FaultTool copy = argbury_test::CopyRows(rows);
  testing_support::FaultTool replaced = copy;
  replaced.inputs.emplace_back("repl.bin", "0123456789");
  replaced.args = [](const std::string& output) {
    return std::vector<std::string>{"-o", output, "-f", "repl.bin", "game.srl"};
  };
  replaced.expected = Buried(rows.image, 0x1800, Area({"0123456789"}, 64));
  replaced.input = "repl.bin";
  replaced.truncated = "0123";
  replaced.truncated_expected = Buried(rows.image, 0x1800, Area({"0123"}, 64));
  replaced.outcome = [&](Fault fault, const std::string& path) -> Outcome {
    switch (fault) {
      case Fault::kInputMissing:
      case Fault::kInputIsFolder:
      case Fault::kInputIsFifo:
        return {2, "", "Error: parmsink: cannot open replacement file.\n"};
      case Fault::kInputTruncated:
        return {0, "Success.\n", ""};
      default:
        return copy.outcome(fault, path);
    }
  };
  testing_support::ExpectFaultRows(replaced);
}

}  // namespace
