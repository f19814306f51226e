// End-to-end tests of bootcast.ZYR against the simulated ISZYR.DLL.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "loader_cli.h"
#include "testing/golden.h"
#include "testing/run_program.h"

namespace {

using namespace loader_test;

const std::string kError = "*** bootcast.ZYR: Error: ";

std::string Golden(const std::string& name) { return std::string(TEST_DATA_DIR) + "/" + name; }

// An image of 4 KiB whose fixed argument area (0xE00) holds `args`.
std::string MakeImage(const std::vector<std::string>& args = {}) {
  std::string image(0x1000, '\x5A');
  std::string area;
  for (const std::string& a : args) area += a + '\0';
  area.resize(256, '\0');
  image.replace(0xE00, area.size(), area);
  return image;
}

// One bootcast.ZYR run in a fresh folder, with the simulator recording calls.
class Zyr {
 public:
  std::vector<std::string> env;
  std::string program = BOOTCAST_ZYR_PATH;
  TempDir dir;

  Zyr() {
    env = {"BOOTCAST_TEST_SETTLE_MS=0", "ISZYR_SIM_LOG=" + dir.File("sim.log")};
    dir.Write("g.srl", MakeImage({"g.srl", "-x"}));
  }
  void Set(const std::string& name, const std::string& value) { env.push_back(name + "=" + value); }
  void Script(const std::string& text) {
    dir.Write("script.txt", text);
    Set("ISZYR_SIM_SCRIPT", dir.File("script.txt"));
  }
  void WithoutHybridMode() {
    if (testing_support::Lacks(testing_support::Need::kLibraryPath)) {
      program = loader_test::ProgramBesideLibrary(dir, BOOTCAST_ZYR_PATH, "ISZYR.DLL",
                                                  testing_support::ReadFileOrEmpty(ISZYR_SIM_WITHOUT_HYBRID_PATH));
    } else {
      Set("LD_LIBRARY_PATH", std::filesystem::path(ISZYR_SIM_WITHOUT_HYBRID_PATH).parent_path().string());
    }
  }
  RunResult Run(const std::vector<std::string>& args, RunOptions options = {}) {
    options.env = env;
    options.timeout_seconds = 30;
    return RunProgram(program, args, dir.path(), options);
  }
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::istringstream in(testing_support::ReadFileOrEmpty(dir.File("sim.log")));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

const std::vector<std::string> kRunCalls = {
    "FindOpen", "FindNext ZYRE 1",     "FindNext end",    "DeviceOpenEx ZYRE 1",
    "Reset 1",  "SetCallbackPrintf 0", "SetHybridMode 0", "DownloadGo2 g.srl"};

TEST(BootcastZyrCli, UsageAndVersion) {
  Zyr z;
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"-h", "g.srl"}, {"--help"}, {"-v", "-q"}}) {
    const RunResult r = z.Run(args);
    testing_support::ExpectGolden(Golden("zyr_usage.stderr"), r.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 202);
  }
  const RunResult r = z.Run({"--version", "-t", "0", "--bogus"});
  EXPECT_EQ(r.out, "bootcast.ZYR Build 20080918\n");
  EXPECT_EQ(r.status, 201);
  EXPECT_TRUE(z.Calls().empty());
}

TEST(BootcastZyrCli, DebuggerVersionEndsWith207EitherWay) {
  Zyr z;
  z.Set("ISZYR_SIM_VERSION", "1.2.3.45");
  RunResult r = z.Run({"-q", "--debuggerVersion", "-t", "0", "g.srl"});
  EXPECT_EQ(r.out, "*** bootcast.ZYR: IS-ZYR-DEBUGGER version is 1.2.0003.0045\n");
  EXPECT_EQ(r.status, 207);
  EXPECT_EQ(z.Calls(), std::vector<std::string>{"GetVersion"});

  Zyr failing;
  failing.Set("ISZYR_SIM_FAIL", "getversion");
  r = failing.Run({"--debuggerVersion"});
  EXPECT_EQ(r.out, "*** bootcast.ZYR: failed to get IS-ZYR-DEBUGGER version.\n");
  EXPECT_EQ(r.status, 207);
}

TEST(BootcastZyrCli, ListingWithThePluralRule) {
  Zyr z;
  z.Set("ISZYR_SIM_DEVICES", "ZYREMU:77,ZYRDEB:123456789,0x41424344:5");
  RunResult r = z.Run({"-L", "--bogus"});
  EXPECT_EQ(r.out,
            "---- Connected devices:\n"
            "  0: [IS-ZYR-DEBUGGER] serial:      77\n"
            "  1: [IS-ZYR-DEBUGGER] serial:123456789\n"
            "  2: unknown device 41424344:5\n"
            "Found 3 devices.\n");
  EXPECT_EQ(r.status, 203);

  Zyr one;
  EXPECT_EQ(one.Run({"--list"}).out,
            "---- Connected devices:\n  0: [IS-ZYR-DEBUGGER] serial:       1\nFound 1 device.\n");
  Zyr none;
  none.Set("ISZYR_SIM_DEVICES", "");
  r = none.Run({"-L"});
  EXPECT_EQ(r.out, "---- Connected devices:\nFound 0 device.\n");
  EXPECT_EQ(r.status, 203);
}

TEST(BootcastZyrCli, SelectsByKindAndBySerialOrItsEnd) {
  const std::string devices = "ZYREMU:11234,ZYRDEB:21234,ZYREMU:1234,ZYRDEB:55678,ZYREMU:5";
  struct Case {
    std::vector<std::string> args;
    std::string opened;  // empty: the run stops with `message`
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"g.srl"}, "ZYRE 11234", ""},
      {{"-s", "5678", "g.srl"}, "ZYRD 55678", ""},
      // The full number wins over the devices whose numbers end in it.
      {{"-s=1234", "g.srl"}, "ZYRE 1234", ""},
      {{"-d", "ZYRDEB", "g.srl"}, "ZYRD 21234", ""},
      {{"-d", "ZYRDEB", "-s", "1234", "g.srl"}, "ZYRD 21234", ""},
      {{"-s", "234", "g.srl"}, "", "two or more devices matched to sperified serial number."},
      {{"-s", "999", "g.srl"}, "", "illegal device."},
      {{"-s", "99999999999", "g.srl"}, "", "illegal device."},
      {{"-d", "ZYREMU", "-s", "55678", "g.srl"}, "", "illegal device."},
  };
  for (const Case& c : cases) {
    Zyr z;
    z.Set("ISZYR_SIM_DEVICES", devices);
    z.Script("exit 0\n");
    const RunResult r = z.Run(c.args);
    if (c.opened.empty()) {
      EXPECT_EQ(r.out, kError + c.message + "\n") << c.args[1];
      EXPECT_EQ(r.status, Status(-1));
    } else {
      ASSERT_GE(z.Calls().size(), 8u) << c.args[0];
      EXPECT_EQ(z.Calls()[7], "DeviceOpenEx " + c.opened) << c.args[0];
      EXPECT_EQ(r.status, 0);
    }
  }
}

TEST(BootcastZyrCli, DefaultProgramPrintsItsArgumentsInCallOrder) {
  Zyr z;
  RunResult r = z.Run({"g.srl"});
  EXPECT_EQ(r.out, "g.srl\n-x\n" + kExit + "0)\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(z.Calls(), kRunCalls);

  // The slot switches are checked and echoed, and act on nothing.
  Zyr verbose;
  verbose.Script("wait 300\nargs\nexit 0\n");
  r = verbose.Run({"-v", "-c", "on", "-a", "zz", "g.srl"});
  EXPECT_EQ(r.out,
            "Input file is [g.srl]\nPrint time out : 0 sec.\nExecute time out : 0 sec.\n"
            "Card lock : ON.\nCartridge lock : OFF.\nAbort string : [zz]\n"
            "\nInput file size: 4096 (0x1000) byte\ng.srl\n-x\n" +
                kExit + "0)\n");
  EXPECT_EQ(verbose.Calls(), kRunCalls);
}

TEST(BootcastZyrCli, DravoModeNeedsISDSetHybridMode) {
  Zyr z;
  z.Script("exit 4\n");
  EXPECT_EQ(z.Run({"-N", "g.srl"}).status, 4);
  EXPECT_EQ(z.Calls()[6], "SetHybridMode 1");

  Zyr old;
  old.WithoutHybridMode();
  old.Script("exit 4\n");
  RunResult r = old.Run({"g.srl"});
  EXPECT_EQ(r.status, 4);
  std::vector<std::string> calls = kRunCalls;
  calls.erase(calls.begin() + 6);
  EXPECT_EQ(old.Calls(), calls);

  Zyr refused;
  refused.WithoutHybridMode();
  r = refused.Run({"--dravo", "g.srl"});
  EXPECT_EQ(
      r.out,
      kError + "cannot run as DRAVO mode. The required version of IS-ZYR-DEBUGGER is v0.64 or later.\n");
  EXPECT_EQ(r.status, Status(-9));
  EXPECT_EQ(refused.Calls().back(), "SetCallbackPrintf 0");
}

TEST(BootcastZyrCli, ErrorsWithTheLastErrorInDebugMode) {
  struct Case {
    std::string fail;
    std::vector<std::string> args;
    std::string message;
    int status;
  };
  const std::vector<Case> cases = {
      {"", {"-D", "-t", "0", "g.srl"}, "illegal value for abort timeout option.", -3},
      {"", {"-D", "-d", "ZYREMU1", "g.srl"}, "illegal device type.", -3},
      {"", {"-D", "-c", "yes", "g.srl"}, "illegal value for card slot option.", -3},
      {"", {"-D", "-s", "12ab", "g.srl"}, "illegal value for serial option.", -3},
      {"", {"-D", "-T", "10s", "g.srl"}, "illegal value for abort exec timeout option.", -3},
      {"", {"-D", "-x", "g.srl"}, "unknown option.", -2},
      {"findopen", {"-D", "g.srl"}, "Cannot access devices.", -1},
      {"findopen", {"-D", "-L"}, "Cannot access devices.", -1},
      {"", {"-D", "missing.srl"}, "cannot open input file.", -4},
      {"", {"-D", "folder"}, "cannot open input file.", -4},
      {"deviceopen", {"-D", "g.srl"}, "cannot connect device.", -5},
      {"downloadgo2", {"-D", "g.srl"}, "troubled while loading input file.", -9},
  };
  for (const Case& c : cases) {
    Zyr z;
    std::filesystem::create_directory(z.dir.File("folder"));
    z.Set("ISZYR_SIM_LAST_ERROR", "0xBEEF");
    if (!c.fail.empty()) z.Set("ISZYR_SIM_FAIL", c.fail);
    RunResult r = z.Run(c.args);
    EXPECT_EQ(r.out, "last error=beef\n" + kError + c.message + "\n") << c.message;
    EXPECT_EQ(r.status, Status(c.status)) << c.message;
    EXPECT_EQ(z.Calls().back(), "GetLastError") << c.message;
    // Without -D the library is not asked.
    std::vector<std::string> args(c.args.begin() + 1, c.args.end());
    Zyr plain;
    std::filesystem::create_directory(plain.dir.File("folder"));
    if (!c.fail.empty()) plain.Set("ISZYR_SIM_FAIL", c.fail);
    r = plain.Run(args);
    EXPECT_EQ(r.out, kError + c.message + "\n");
    for (const std::string& call : plain.Calls()) EXPECT_NE(call, "GetLastError");
  }
}

TEST(BootcastZyrCli, ExitLineAndAbortString) {
  struct Case {
    std::vector<std::string> args;
    std::string script;
    std::string out;
    int status;
  };
  const std::vector<Case> cases = {
      {{"g.srl"},
       "print 0 0 hello\\n\nwait 50\nexit 3\nprint 0 0 after the end\\n\n",
       "hello\n" + kExit + "3)\n",
       3},
      {{"g.srl"}, "exit \n", kExit + ")\n", 0},
      {{"-a", "***", "g.srl"},
       "exit 3\n",
       kExit + "3)\n\n*** bootcast.ZYR: stopped by aborting string.\n",
       200},
      // A program's own 206 is no user break; 256 is no success.
      {{"g.srl"}, "exit 206\n", kExit + "206)\n", 208},
      {{"g.srl"}, "exit 256\n", kExit + "256)\n", 208},
  };
  for (const Case& c : cases) {
    Zyr z;
    z.Script(c.script);
    const RunResult r = z.Run(c.args);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.status, c.status);
  }
}

TEST(BootcastZyrCli, PrintAndExecTimeouts) {
  Zyr idle;
  idle.Script("print 1 2 only\\n\n");
  const auto start = std::chrono::steady_clock::now();
  RunResult r = idle.Run({"-t", "1", "g.srl"});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1100));
  EXPECT_EQ(r.out, "only\n\n*** bootcast.ZYR: stopped by print timeout.\n");
  EXPECT_EQ(r.status, 204);

  Zyr late;
  late.Set("BOOTCAST_TEST_TIME_OFFSET", "75");
  late.Script("print 0 0 tick\\n\n");
  r = late.Run({"-T", "75", "g.srl"});
  EXPECT_EQ(r.status, 205);
  // Whether "tick" came within the one 100 ms wait is the library thread's
  // business; the closing message comes last either way.
  const std::string closing = "\n*** bootcast.ZYR: stopped by exec timeout.\n";
  ASSERT_GE(r.out.size(), closing.size());
  EXPECT_EQ(r.out.substr(r.out.size() - closing.size()), closing);
}

TEST(BootcastZyrCli, InterruptStopsTheRun) {
  if (const char* why = testing_support::Lacks(testing_support::Need::kSignals)) GTEST_SKIP() << why;
  Zyr z;
  // The break handler is installed once the image runs.
  z.Script("wait 300\nprint 0 0 ready\\n\n");
  RunOptions options;
  options.signal_when_output = "ready\n";
  options.signal_number = SIGINT;
  const RunResult r = z.Run({"g.srl"}, options);
  EXPECT_EQ(r.out, "ready\n\n*** bootcast.ZYR: stopped by user.\n");
  EXPECT_FALSE(r.signaled);
  EXPECT_EQ(r.status, 206);
}

TEST(BootcastZyrCli, ConsolesInterleaveWithABreakAtEachSwitch) {
  Zyr z;
  z.Script(
      "print 0 0 *** Exit Dravo/Zyr pro\n"
      "print 0 1 one\\n\n"
      "print 1 9 dropped\\n\n"
      "print 0 1 two\n"
      "print 0 0 gram (status=9)\\n\n");
  const RunResult r = z.Run({"g.srl"});
  EXPECT_EQ(r.out, "*** Exit Dravo/Zyr pro\none\ntwo\ngram (status=9)\n");
  EXPECT_EQ(r.status, 9);
}

// The tag matrix in one script; text printed while the image is started
// counts as time 0 for the lap.
TEST(BootcastZyrCli, TagsAndLapTimes) {
  const std::string script =
      "print 0 0 starting\\n\n"
      "go\n"
      "wait 300\n"
      "print 0 0 a9\\n\n"
      "print 1 1 a7\\n\n"
      "print 2 3 other processor\\n\n"
      "print 1 1 half \n"
      "print 1 1 line\\n\n"
      "exit 0\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-A", "-n", "-l", "g.srl"}, "zyr_tags_both_lap.stdout"},
      {{"-A", "g.srl"}, "zyr_tags_architecture.stdout"},
      {{"--console", "g.srl"}, "zyr_tags_console.stdout"},
  };
  for (const auto& [args, golden] : cases) {
    Zyr z;
    z.Set("BOOTCAST_TEST_TIME_OFFSET", "75");
    z.Script(script);
    const RunResult r = z.Run(args);
    testing_support::ExpectGolden(Golden(golden), r.out);
    EXPECT_EQ(r.status, 0);
  }
  Zyr quiet;
  quiet.Script(script + "");
  const RunResult r = quiet.Run({"-q", "-A", "-n", "-l", "-t", "1", "g.srl"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
}

TEST(BootcastZyrCli, SettingsTheSimulatorCannotUseFailTheRun) {
  Zyr z;
  z.Set("ISZYR_SIM_SCRIPT", z.dir.File("no-such-script"));
  RunResult r = z.Run({"g.srl"});
  EXPECT_EQ(r.out, "ISZYR.DLL (simulated): cannot read script " + z.dir.File("no-such-script") + "\n" +
                       kExit + "1)\n");
  EXPECT_EQ(r.status, 1);

  Zyr bad;
  bad.Set("ISZYR_SIM_VERSION", "1.2");
  r = bad.Run({"g.srl"});
  EXPECT_EQ(r.err, "ISZYR.DLL (simulated): cannot use version '1.2'\n");
  EXPECT_EQ(r.status, 1);
}

TEST(BootcastZyrCli, LostStandardOutputFailsASuccessfulRun) {
  if (const char* why = testing_support::Lacks(testing_support::Need::kDeviceFiles)) GTEST_SKIP() << why;
  Zyr z;
  RunOptions options;
  options.env = z.env;
  const RunResult r =
      RunProgram("/bin/sh", {"-c", std::string("exec '") + BOOTCAST_ZYR_PATH + "' g.srl >/dev/full"},
                 z.dir.path(), options);
  EXPECT_EQ(r.err, "*** bootcast.ZYR: Error: cannot write standard output.\n");
  EXPECT_EQ(r.status, 1);
}

TEST(BootcastZyrCli, LibraryThatCannotBeLoaded) {
  loader_test::ExpectLibraryCannotBeLoaded(BOOTCAST_ZYR_PATH, "bootcast.ZYR", "ISZYR.DLL");
}

}  // namespace

namespace {

TEST(BootcastZyrCli, FaultRows) {
  const std::string image = MakeImage({"g.srl", "-x"});
  loader_test::ExpectLoaderFaultRows(
      {BOOTCAST_ZYR_PATH, "bootcast.ZYR", image, image.substr(0, 0xE04), "g.sr\n" + kExit + "0)\n", ""});
}

}  // namespace
