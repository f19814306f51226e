// End-to-end tests of bootcast against the simulated ISDRAVO.DLL.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "loader_cli.h"
#include "testing/golden.h"
#include "testing/run_program.h"

namespace {

using namespace loader_test;

// An image of `size` bytes of a fixed pattern; with `args`, an argument area
// (marker, two spare bytes, 16-bit size, 64-byte buffer) at offset 0x40.
std::string MakeImage(size_t size, const std::vector<std::string>& args = {}) {
  std::string image(size, '\0');
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  if (!args.empty()) {
    std::string area = ":$@$Argument$@$:";
    area += std::string("\0\0\x40\0", 4);
    std::string buffer;
    for (const std::string& a : args) buffer += a + '\0';
    buffer.resize(64, '\0');
    area += buffer;
    image.replace(0x40, area.size(), area);
  }
  return image;
}

// One bootcast run in a fresh folder, with the simulator recording its calls.
class Bootcast {
 public:
  std::vector<std::string> env;
  std::string program = BOOTCAST_PATH;

  Bootcast() {
    env = {"BOOTCAST_TEST_SETTLE_MS=0", "ISDRAVO_SIM_LOG=" + dir.File("sim.log"),
           "ISDRAVO_SIM_ROM=" + dir.File("rom.bin")};
    // An empty image, unless the test writes another.
    dir.Write("g.srl", "");
  }
  void Script(const std::string& text) {
    dir.Write("script.txt", text);
    env.push_back("ISDRAVO_SIM_SCRIPT=" + dir.File("script.txt"));
  }
  void Devices(const std::string& list) { env.push_back("ISDRAVO_SIM_DEVICES=" + list); }
  void Fail(const std::string& what) { env.push_back("ISDRAVO_SIM_FAIL=" + what); }
  RunResult Run(const std::vector<std::string>& args, const std::string& stdin_data = "") {
    RunOptions options;
    options.env = env;
    options.stdin_data = stdin_data;
    options.timeout_seconds = 30;
    return RunProgram(program, args, dir.path(), options);
  }
  // The simulator's record, without the polls unless asked.
  std::vector<std::string> Calls(bool with_polls = false) const {
    std::vector<std::string> lines;
    std::istringstream in(testing_support::ReadFileOrEmpty(dir.File("sim.log")));
    std::string line;
    while (std::getline(in, line)) {
      if (with_polls || line.rfind("GetDebugPrint", 0) != 0 || line.find("failed") != std::string::npos) {
        lines.push_back(line);
      }
    }
    return lines;
  }
  long Count(const std::string& prefix) const {
    const std::vector<std::string> all = Calls(true);
    return std::count_if(all.begin(), all.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }

  TempDir dir;
};

std::vector<std::string> RunCalls(const std::vector<std::string>& writes,
                                  const std::string& device = "0x20000001") {
  std::vector<std::string> calls = {"FindOpen", "FindNext " + device, "FindNext end", "DeviceOpen " + device,
                                    "Reset 1"};
  calls.insert(calls.end(), writes.begin(), writes.end());
  calls.insert(calls.end(), {"Reset 0", "CartridgeSlotPower 0", "CardSlotPower 0"});
  return calls;
}

TEST(BootcastCli, DefaultSimulatorPrintsTheArgumentsAndExits) {
  Bootcast b;
  const std::string image = MakeImage(200, {"game.srl", "-x", "two words"});
  b.dir.Write("game.srl", image);
  const RunResult r = b.Run({"game.srl"});
  EXPECT_EQ(r.out, "game.srl\n-x\ntwo words\n" + kExit + "0)\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(b.Calls(), RunCalls({"WriteROM 0 200"}));
  EXPECT_EQ(b.dir.Read("rom.bin"), image);
}

TEST(BootcastCli, StreamsChunksWithStarsAndSize) {
  Bootcast b;
  const std::string image = MakeImage(16384 * 32 + 100);
  b.dir.Write("big.srl", image);
  const RunResult r = b.Run({"-v", "-t=10", "-T", "20", "-a", "ABC", "-c", "on", "-C", "OFF", "big.srl"});
  EXPECT_EQ(r.out,
            "Input file is [big.srl]\nPrint time out : 10 sec.\nExecute time out : 20 sec.\n"
            "Card lock : ON.\nCartridge lock : OFF.\nAbort string : [ABC]\n"
            "**\nInput file size: 524388 (0x80064) byte\n" +
                kExit + "0)\n");
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> writes;
  for (int i = 0; i < 32; ++i) writes.push_back("WriteROM " + std::to_string(i * 16384) + " 16384");
  writes.push_back("WriteROM 524288 100");
  writes.push_back("CardSlotPower 1");
  EXPECT_EQ(b.Calls(), RunCalls(writes));
  EXPECT_EQ(b.dir.Read("rom.bin"), image);
}

TEST(BootcastCli, EmptyImageStillStartsTheTarget) {
  Bootcast b;
  b.dir.Write("empty.srl", "");
  const RunResult r = b.Run({"-D", "--verbose", "empty.srl"});
  EXPECT_EQ(r.out,
            "Input file is [empty.srl]\nPrint time out : 0 sec.\nExecute time out : 0 sec.\n"
            "Card lock : OFF.\nCartridge lock : OFF.\n\nInput file size: 0 (0x0) byte\n" +
                kExit + "0)\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(b.Calls(), RunCalls({}));
}

TEST(BootcastCli, ReadsTheImageFromStandardInput) {
  Bootcast b;
  const std::string image = MakeImage(20000, {"piped"});
  const RunResult r = b.Run({"-v", "--standard-input"}, image);
  EXPECT_EQ(r.out,
            "Input file is stdin\nPrint time out : 0 sec.\nExecute time out : 0 sec.\n"
            "Card lock : OFF.\nCartridge lock : OFF.\n*\nInput file size: 20000 (0x4e20) byte\npiped\n" +
                kExit + "0)\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(b.Calls(), RunCalls({"WriteROM 0 16384", "WriteROM 16384 3616"}));
  EXPECT_EQ(b.dir.Read("rom.bin"), image);
}

TEST(BootcastCli, UsageCases) {
  Bootcast b;
  b.dir.Write("g.srl", "x");
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"-h", "g.srl"}, {"--stdin", "g.srl"}, {"-v"}, {"--help"}}) {
    const RunResult r = b.Run(args);
    EXPECT_EQ(r.out, "");
    testing_support::ExpectGolden(std::string(TEST_DATA_DIR) + "/bootcast_usage.stderr", r.err);
    EXPECT_EQ(r.status, 202);
  }
  EXPECT_TRUE(b.Calls().empty());
}

TEST(BootcastCli, ValuesAreCheckedDuringTheScan) {
  Bootcast b;
  struct Case {
    std::vector<std::string> args;
    std::string message;
    int status;
  };
  const std::string a256(256, 'a');
  const std::vector<Case> cases = {
      {{"-h", "-t", "0"}, "illegal value for abort timeout option.", -3},
      {{"-t", "-5", "g"}, "illegal value for abort timeout option.", -3},
      {{"-T", "=0", "g"}, "illegal value for abort exec timeout option.", -3},
      {{"--exec-timeout", "x", "g"}, "illegal value for abort exec timeout option.", -3},
      // A value with anything after its digits is refused, not read as another number.
      {{"-t", "10s", "g"}, "illegal value for abort timeout option.", -3},
      {{"-t", "0x10", "g"}, "illegal value for abort timeout option.", -3},
      {{"-T", "1.5", "g"}, "illegal value for abort exec timeout option.", -3},
      {{"-s", "abc", "g"}, "illegal value for serial option.", -3},
      {{"--serial=0x10", "g"}, "illegal value for serial option.", -3},
      {{"-a", "", "g"}, "illegal value for abort string option.", -3},
      {{"-a", a256 + "a", "g"}, "illegal value for abort string option.", -3},
      {{"-c", "On", "g"}, "illegal value for card slot option.", -3},
      {{"--cartridge-slot=yes", "g"}, "illegal value for cartridge slot option.", -3},
      {{"-d", "dravousb", "g"}, "illegal device type.", -3},
      {{"-x", "g"}, "unknown option.", -2},
      {{"--bogus", "g"}, "unknown option.", -2},
      {{"g", "-t"}, "", 0},  // scanning stops at the operand: "-t" is not an option
      {{"-t"}, "unknown option.", -2},
  };
  for (const Case& c : cases) {
    const RunResult r = b.Run(c.args);
    if (c.status == 0) continue;
    EXPECT_EQ(r.out, "*** bootcast: Error: " + c.message + "\n") << c.args[0];
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, Status(c.status)) << c.args[0];
  }
  // 256 characters are accepted.
  const RunResult r = b.Run({"-a", a256, "-v", "g.srl"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Abort string : [" + a256 + "]\n"), std::string::npos);
}

TEST(BootcastCli, VersionActsWhenMet) {
  Bootcast b;
  const RunResult r = b.Run({"--version", "-t", "0", "--bogus"});
  EXPECT_EQ(r.out, "bootcast Build 20080918\n");
  EXPECT_EQ(r.status, 201);
  EXPECT_TRUE(b.Calls().empty());
}

TEST(BootcastCli, ListsEveryKindOfDevice) {
  Bootcast b;
  b.Devices("VKTUSB:77,0x100000A3,DRAVOUSB:1234,DRAVOUIC:5,0xF00000AB,0x7FFFFFFF");
  const RunResult r = b.Run({"-L", "--bogus"});
  EXPECT_EQ(r.out,
            "---- Connected devices:\n"
            "  0: [VKTUSB]  IS-VKT-EMU(USB) serial:      77\n"
            "  1: [VKTSCSI]  IS-VKT-EMULATOR serial(host-id):10163\n"
            "  2: [DRAVOUSB]  IS-DRAVO-EMULATOR serial:00001234\n"
            "  3: [DRAVOUIC]  IS-DRAVO-UIC serial: 00000005\n"
            "  4: unknown device f00000ab\n"
            "  5: unknown device 7fffffff\n"
            "6 device(s) found.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 203);
}

TEST(BootcastCli, ListActsWhenMetAfterEarlierOptions) {
  Bootcast b;
  b.Devices("DRAVOUSB:7");
  // Help is acted on only after the scan, which -L ends; -t 0 is never seen.
  const RunResult r = b.Run({"-h", "-v", "-q", "-L", "-t", "0", "g.srl"});
  EXPECT_EQ(r.out,
            "---- Connected devices:\n"
            "  0: [DRAVOUSB]  IS-DRAVO-EMULATOR serial:00000007\n"
            "1 device(s) found.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 203);
  EXPECT_EQ(b.Calls(), (std::vector<std::string>{"FindOpen", "FindNext 0x20000007", "FindNext end"}));

  // An earlier bad value still stops the scan first.
  const RunResult bad = b.Run({"-t", "0", "-L"});
  EXPECT_EQ(bad.out, "*** bootcast: Error: illegal value for abort timeout option.\n");
  EXPECT_EQ(bad.status, Status(-3));
}

TEST(BootcastCli, ListingStopsAt256Devices) {
  Bootcast b;
  std::string list;
  for (int i = 0; i < 300; ++i) list += (i ? ",DRAVOUSB:" : "DRAVOUSB:") + std::to_string(i);
  b.Devices(list);
  const RunResult r = b.Run({"--list"});
  EXPECT_EQ(r.status, 203);
  EXPECT_NE(r.out.find("255: [DRAVOUSB]  IS-DRAVO-EMULATOR serial:00000255\n256 device(s) found.\n"),
            std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 258);
  EXPECT_EQ(b.Count("FindNext"), 257);

  Bootcast none;
  none.Devices("");
  const RunResult empty = none.Run({"-L"});
  EXPECT_EQ(empty.out, "---- Connected devices:\n0 device(s) found.\n");
  EXPECT_EQ(empty.status, 203);
}

TEST(BootcastCli, SelectsByKindAndSerial) {
  Bootcast b;
  b.Devices("DRAVOUIC:1234,DRAVOUSB:99,DRAVOUSB:1234,DRAVOUSB:1234");
  EXPECT_EQ(b.Run({"-d", "DRAVOUSB", "-s", "1234", "g.srl"}).status, 0);
  EXPECT_EQ(b.Calls()[6], "DeviceOpen 0x200004d2");

  Bootcast first;
  first.Devices("DRAVOUIC:1234,DRAVOUSB:99");
  EXPECT_EQ(first.Run({"g.srl"}).status, 0);
  EXPECT_EQ(first.Calls()[4], "DeviceOpen 0x300004d2");

  // The largest serial number is the value that means "not given".
  Bootcast largest;
  largest.Devices("DRAVOUIC:1234,DRAVOUSB:99");
  EXPECT_EQ(largest.Run({"-s", "2147483647", "g.srl"}).status, 0);
  EXPECT_EQ(largest.Calls()[4], "DeviceOpen 0x300004d2");
}

TEST(BootcastCli, SelectionErrors) {
  struct Case {
    std::string devices;
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"", {"g.srl"}, "found no device."},
      {"", {"-s", "5", "g.srl"}, "found no device."},
      {"DRAVOUSB:1234", {"-s", "4321", "g.srl"}, "illegal device."},
      {"DRAVOUSB:1234", {"-d", "DRAVOUIC", "g.srl"}, "illegal device."},
      {"0x50000001,DRAVOUSB:1", {"g.srl"}, "illegal device."},
      // A serial number beyond 32 bits is no device's, not "any device".
      {"DRAVOUSB:1", {"-s", "3000000000", "g.srl"}, "illegal device."},
      {"DRAVOUSB:1", {"-s=99999999999999999999", "g.srl"}, "illegal device."},
  };
  for (const Case& c : cases) {
    Bootcast b;
    b.Devices(c.devices);
    const RunResult r = b.Run(c.args);
    EXPECT_EQ(r.out, "*** bootcast: Error: " + c.message + "\n") << c.devices;
    EXPECT_EQ(r.status, Status(-1));
    EXPECT_EQ(b.Count("DeviceOpen"), 0);
  }
  Bootcast b;
  b.Fail("findopen");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"g.srl"}, {"-L"}}) {
    const RunResult r = b.Run(args);
    EXPECT_EQ(r.out, "*** bootcast: Error: Cannot access devices.\n");
    EXPECT_EQ(r.status, Status(-1));
  }
}

TEST(BootcastCli, DownloadAndStartErrors) {
  struct Case {
    std::string fail;
    std::vector<std::string> args;
    std::string message;
    int status;
    std::string last_call;
  };
  const std::vector<Case> cases = {
      {"", {"missing.srl"}, "cannot open input file.", -4, "FindNext end"},
      {"", {"folder"}, "cannot open input file.", -4, "FindNext end"},
      {"", {"./" + std::string(1023, '/') + "g.srl"}, "cannot open input file.", -4, "FindNext end"},
      {"deviceopen", {"g.srl"}, "cannot connect device.", -5, "DeviceOpen 0x20000001 failed"},
      {"cartridge",
       {"-C", "on", "-c", "on", "g.srl"},
       "cannot use cartridge slot.",
       -6,
       "CartridgeSlotPower 1 failed"},
      {"card", {"-C", "on", "-c", "ON", "g.srl"}, "cannot use card slot.", -7, "CardSlotPower 1 failed"},
      {"writerom:2", {"g.srl"}, "troubled while loading input file.", -9, "WriteROM 16384 16384 failed"},
      {"getdebugprint:1", {"g.srl"}, "troubled while receiving print data.", -8, "DeviceClose"},
  };
  for (const Case& c : cases) {
    Bootcast b;
    if (!c.fail.empty()) b.Fail(c.fail);
    b.dir.Write("g.srl", MakeImage(40000));
    std::filesystem::create_directory(b.dir.File("folder"));
    const RunResult r = b.Run(c.args);
    EXPECT_EQ(r.out, "*** bootcast: Error: " + c.message + "\n") << c.fail;
    EXPECT_EQ(r.status, Status(c.status)) << c.fail;
    // The error path leaves the slots alone.
    ASSERT_FALSE(b.Calls().empty());
    EXPECT_EQ(b.Calls().back(), c.last_call) << c.fail;
    EXPECT_EQ(b.Count("CartridgeSlotPower 0") + b.Count("CardSlotPower 0"), 0);
  }
}

TEST(BootcastCli, ExitLineStatus) {
  struct Case {
    std::string script;
    std::string out;
    int status;
  };
  const std::vector<Case> cases = {
      {"print 0 hello\\n\nexit 3\n", "hello\n" + kExit + "3)\n", 3},
      {"exit \n", kExit + ")\n", 0},
      {"print 1 *** Exit Dravo/Zyr pro\nwait 150\nprint 1 gram (status=12) trailing\\nlost\\n\n",
       kExit + "12) trailing\n", 12},
      {"exit 199\n", kExit + "199)\n", 199},
      // A status the shell cannot tell from success or from the loader's own
      // statuses gives 208; it never brings a closing message.
      {"print 0 " + kExit + "-1)\\n\n", kExit + "-1)\n", 208},
      {"exit 204\n", kExit + "204)\n", 208},
      {"exit 206\n", kExit + "206)\n", 208},
      {"exit 256\n", kExit + "256)\n", 208},
      {"exit 99999999999\n", kExit + "99999999999)\n", 208},
  };
  for (const Case& c : cases) {
    Bootcast b;
    b.Script(c.script);
    const RunResult r = b.Run({"g.srl"});
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(b.Calls().back(), "CardSlotPower 0");
  }
}

TEST(BootcastCli, ExitPrefixAfterOtherTextDoesNotEndTheRun) {
  Bootcast b;
  b.Script("print 0 note: " + kExit + "3)\\n\n");
  const RunResult r = b.Run({"-t", "1", "g.srl"});
  EXPECT_EQ(r.out, "note: " + kExit + "3)\n\n*** bootcast: stopped by print timeout.\n");
  EXPECT_EQ(r.status, 204);
}

TEST(BootcastCli, AbortStringWinsOverTheExitLine) {
  Bootcast b;
  b.Script("print 0 start\\n\nexit 3\n");
  const RunResult r = b.Run({"-a", "***", "g.srl"});
  EXPECT_EQ(r.out, "start\n" + kExit + "3)\n\n*** bootcast: stopped by aborting string.\n");
  EXPECT_EQ(r.status, 200);
}

TEST(BootcastCli, LongFragmentHidesTheAbortString) {
  // 600 characters arrive as 512 + 88: the accumulator passes 512 and is emptied.
  Bootcast b;
  b.Script("print 0 STOP" + std::string(596, 'x') + "\nprint 0 \\n\nexit 5\n");
  RunResult r = b.Run({"-a", "STOP", "g.srl"});
  EXPECT_EQ(r.out, "STOP" + std::string(596, 'x') + "\n" + kExit + "5)\n");
  EXPECT_EQ(r.status, 5);

  Bootcast kept;
  kept.Script("print 0 STOP" + std::string(508, 'x') + "\nprint 0 \\n\nexit 5\n");
  r = kept.Run({"-a", "STOP", "g.srl"});
  EXPECT_EQ(r.out, "STOP" + std::string(508, 'x') + "\n\n*** bootcast: stopped by aborting string.\n");
  EXPECT_EQ(r.status, 200);
}

TEST(BootcastCli, PrintTimeoutAfterElevenIdleCycles) {
  Bootcast b;
  b.Script("print 1 only\n");
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = b.Run({"--timeout", "1", "g.srl"});
  // The idle cycles really wait 100 ms each.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1100));
  EXPECT_EQ(r.out, "only\n*** bootcast: stopped by print timeout.\n");
  EXPECT_EQ(r.status, 204);
  // One cycle with text, then 11 idle ones, each polling both channels.
  EXPECT_EQ(b.Count("GetDebugPrint"), 24);
  EXPECT_EQ(b.Calls().back(), "CardSlotPower 0");
}

TEST(BootcastCli, ExecTimeout) {
  Bootcast b;
  b.Script("print 0 tick\\n\n");
  RunResult r = b.Run({"-T", "1", "g.srl"});
  EXPECT_EQ(r.out, "tick\n\n*** bootcast: stopped by exec timeout.\n");
  EXPECT_EQ(r.status, 205);

  // 75 seconds into the run the first cycle already ends it.
  Bootcast late;
  late.env.push_back("BOOTCAST_TEST_TIME_OFFSET=75");
  late.Script("print 0 tick\\n\n");
  r = late.Run({"-T", "75", "g.srl"});
  EXPECT_EQ(r.out, "tick\n\n*** bootcast: stopped by exec timeout.\n");
  EXPECT_EQ(r.status, 205);
  EXPECT_EQ(late.Count("GetDebugPrint"), 2);
}

TEST(BootcastCli, LapTimeBeforeEachLine) {
  Bootcast b;
  b.env.push_back("BOOTCAST_TEST_TIME_OFFSET=75");
  b.Script("print 0 first\\nsec\nprint 1 ond\\nthird\\n\nexit 0\n");
  const RunResult r = b.Run({"-l", "g.srl"});
  EXPECT_EQ(r.out, "{1:15}first\n{1:15}second\n{1:15}third\n{1:15}" + kExit + "0)\n");
  EXPECT_EQ(r.status, 0);
}

TEST(BootcastCli, QuietModeKeepsTheStatus) {
  Bootcast b;
  b.Script("print 0 hello\\n\nexit 3\n");
  RunResult r = b.Run({"-q", "-l", "g.srl"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 3);

  Bootcast idle;
  idle.Script("print 0 hello\\n\n");
  r = idle.Run({"-q", "-t", "1", "g.srl"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 204);
}

TEST(BootcastCli, InterruptStopsTheRun) {
  if (const char* why = testing_support::Lacks(testing_support::Need::kSignals)) GTEST_SKIP() << why;
  Bootcast b;
  b.Script("print 0 ready\\n\n");
  RunOptions options;
  options.env = b.env;
  options.signal_when_output = "ready\n";
  options.signal_number = SIGINT;
  const RunResult r = RunProgram(BOOTCAST_PATH, {"g.srl"}, b.dir.path(), options);
  EXPECT_EQ(r.out, "ready\n\n*** bootcast: stopped by user.\n");
  EXPECT_FALSE(r.signaled);
  EXPECT_EQ(r.status, 206);
  EXPECT_EQ(b.Calls().back(), "CardSlotPower 0");
}

TEST(BootcastCli, LibraryThatCannotBeLoaded) {
  loader_test::ExpectLibraryCannotBeLoaded(BOOTCAST_PATH, "bootcast", "ISDRAVO.DLL");
}

TEST(BootcastCli, BrokenLibraryOnTheLibraryPathIsNotReplaced) {
  Bootcast b;
  if (testing_support::Lacks(testing_support::Need::kLibraryPath)) {
    b.program = loader_test::ProgramBesideLibrary(b.dir, BOOTCAST_PATH, "ISDRAVO.DLL", "not a shared object");
  } else {
    b.dir.Write("vendor/ISDRAVO.DLL", "not a shared object");
    b.env.push_back("LD_LIBRARY_PATH=" + b.dir.File("vendor"));
  }
  const RunResult r = b.Run({"g.srl"});
  EXPECT_EQ(r.out.rfind("*** bootcast: Error: cannot load device library ISDRAVO.DLL (", 0), 0u) << r.out;
  EXPECT_EQ(r.status, Status(-10));
  EXPECT_TRUE(b.Calls().empty());
}

// A copy of the program away from its library finds it along the system's
// search path (PATH on Windows, after the program's own folder), and never in
// the working folder, where anyone's files lie (here a library that lacks a
// function).
TEST(BootcastCli, FindsTheLibraryAlongTheSearchPathNotInTheWorkingFolder) {
  Bootcast b;
  std::filesystem::create_directories(b.dir.File("alone"));
  b.program = b.dir.File("alone/" + std::filesystem::path(BOOTCAST_PATH).filename().string());
  std::filesystem::copy_file(BOOTCAST_PATH, b.program);
  b.dir.Write("ISDRAVO.DLL", testing_support::ReadFileOrEmpty(ISDRAVO_SIM_INCOMPLETE_PATH));
  b.Script("exit 0\n");
  RunResult r = b.Run({"g.srl"});
  EXPECT_EQ(r.out.rfind("*** bootcast: Error: cannot load device library ISDRAVO.DLL (", 0), 0u) << r.out;
  EXPECT_EQ(r.status, Status(-10));

  const std::string folder = std::filesystem::path(ISDRAVO_SIM_PATH).parent_path().string();
  b.env.push_back((testing_support::Lacks(testing_support::Need::kLibraryPath) ? "PATH=" : "LD_LIBRARY_PATH=") +
                  folder);
  r = b.Run({"g.srl"});
  EXPECT_EQ(r.out, loader_test::kExit + "0)\n");
  EXPECT_EQ(r.status, 0);
}

TEST(BootcastCli, LibraryMissingAFunction) {
  Bootcast b;
  if (testing_support::Lacks(testing_support::Need::kLibraryPath)) {
    b.program = loader_test::ProgramBesideLibrary(b.dir, BOOTCAST_PATH, "ISDRAVO.DLL",
                                                  testing_support::ReadFileOrEmpty(ISDRAVO_SIM_INCOMPLETE_PATH));
  } else {
    b.env.push_back("LD_LIBRARY_PATH=" +
                    std::filesystem::path(ISDRAVO_SIM_INCOMPLETE_PATH).parent_path().string());
  }
  const RunResult r = b.Run({"g.srl"});
  EXPECT_EQ(r.out,
            "*** bootcast: Error: device library ISDRAVO.DLL has no function DRAVOToolAPIGetDebugPrint.\n");
  EXPECT_EQ(r.status, Status(-10));
  EXPECT_TRUE(b.Calls().empty());
}

TEST(BootcastCli, LostStandardOutputFailsASuccessfulRun) {
  if (const char* why = testing_support::Lacks(testing_support::Need::kDeviceFiles)) GTEST_SKIP() << why;
  Bootcast b;
  b.Script("print 0 hello\\n\nexit 0\n");
  RunOptions options;
  options.env = b.env;
  RunResult r = RunProgram("/bin/sh", {"-c", std::string("exec '") + BOOTCAST_PATH + "' g.srl >/dev/full"},
                           b.dir.path(), options);
  EXPECT_EQ(r.err, "*** bootcast: Error: cannot write standard output.\n");
  EXPECT_EQ(r.status, 1);
  // A run that already failed keeps its own status.
  b.Script("exit 7\n");
  options.env = b.env;
  r = RunProgram("/bin/sh", {"-c", std::string("exec '") + BOOTCAST_PATH + "' g.srl >/dev/full"},
                 b.dir.path(), options);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 7);
}

TEST(BootcastCli, SimulatorSettingsItCannotUseFailTheRunInsteadOfHanging) {
  Bootcast missing;
  missing.env.push_back("ISDRAVO_SIM_SCRIPT=" + missing.dir.File("no-such-script"));
  RunResult r = missing.Run({"g.srl"});
  EXPECT_EQ(r.out, "ISDRAVO.DLL (simulated): cannot read script " + missing.dir.File("no-such-script") +
                       "\n" + kExit + "1)\n");
  EXPECT_EQ(r.status, 1);

  Bootcast bad;
  bad.Script("print 0 fine\\n\nprint 2 wrong channel\n");
  r = bad.Run({"g.srl"});
  EXPECT_EQ(r.out, "ISDRAVO.DLL (simulated): " + bad.dir.File("script.txt") +
                       ":2: cannot understand 'print 2 wrong channel'\n" + kExit + "1)\n");
  EXPECT_EQ(r.status, 1);

  Bootcast device;
  device.Devices("DRAVOUSB:1,DRAVOUSB:x");
  r = device.Run({"g.srl"});
  EXPECT_EQ(r.err, "ISDRAVO.DLL (simulated): cannot use device 'DRAVOUSB:x'\n");
  EXPECT_EQ(r.out, "ISDRAVO.DLL (simulated): cannot use device 'DRAVOUSB:x'\n" + kExit + "1)\n");
  EXPECT_EQ(r.status, 1);
}

}  // namespace

namespace {

TEST(BootcastCli, FaultRows) {
  const std::string image = MakeImage(200, {"g.srl", "-x"});
  loader_test::ExpectLoaderFaultRows(
      {BOOTCAST_PATH, "bootcast", image, image.substr(0, 0x50), kExit + "0)\n", "g.srl\n-x\n" + kExit + "0)\n"});
}

}  // namespace
