// bootcast.ZYR: runs a second-generation ROM image on a debugger device
// through ISZYR.DLL, which downloads and starts it and pushes the program's
// console output to a callback. Relays that output until the run ends; the
// exit status tells how it ended.
#include <getopt.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "loader_finish.h"
#include "loader_options.h"
#include "run_clock.h"
#include "support/file_io.h"
#include "zyr_binding.h"
#include "zyr_devices.h"
#include "zyr_monitor.h"

namespace {

using loader::Outcome;
using loader::StopReason;
using loader::ZyrApi;
using namespace loader::statuses;

constexpr const char* kToolName = "bootcast.ZYR";
constexpr const char* kDebuggerName = "IS-ZYR-DEBUGGER";
constexpr size_t kMaxSerialText = 255;

struct Options {
  loader::RunSettings run;
  bool dravo_mode = false;
  bool architecture_tags = false;
  bool console_tags = false;
  bool debug = false;
  int kind_filter = 0;
  loader::ZyrSerialWanted serial;
};

// Process-wide, as the library calls back with the user value 0 only; never
// destroyed, so a late callback finds it whatever the order of exit.
loader::ZyrRelay& Relay() {
  static loader::ZyrRelay* relay = new loader::ZyrRelay;
  return *relay;
}

void OnPrint(uintptr_t, int processor, int console, const char* text, uint32_t length) {
  if (text != nullptr) Relay().Receive(processor, console, text, length);
}

// The error path: in debug mode the library's last error, then the message.
// The program's output stops first, so the message is not cut into it.
int Fail(const Options& o, const ZyrApi& api, const char* message, int status) {
  Relay().Stop();
  if (o.debug) std::printf("last error=%lx\n", static_cast<unsigned long>(api.get_last_error()));
  std::printf("*** %s: Error: %s\n", kToolName, message);
  return status;
}

Outcome FailRun(const Options& o, const ZyrApi& api, const char* message, int status) {
  return {Fail(o, api, message, status), StopReason::kNone};
}

void PrintUsage() {
  std::fprintf(stderr,
               "ZYR-SDK Development Tool - %s - Execute ZYR ROM image\n"
               "Build %lu\n"
               "\n"
               "Usage: %s [OPTION] <SrlFile>\n"
               "\tdownload ZYR srl file to %s and execute.\n"
               "\n"
               "Options:\n"
               "  --version                   : Show %s version.\n"
               "  --debuggerVersion           : Show debugger version.\n"
               "  -h, --help                  : Show this help.\n"
               "  -q, --quiet                 : Quiet mode.\n"
               "  -v, --verbose               : Verbose mode.\n"
               "  -L, --list                  : List connecting device.\n"
               "  -N, --dravo                 : Run hybrid rom as DRAVO mode\n"
               "  -l, --lap                   : Show lap time at each line.\n"
               "  -A, --architecture          : Show architecture at each line.\n"
               "  -n, --console               : Show console number at each line.\n"
               "  -s, --serial=SERIAL         : Specify serial number.\n"
               "  -t, --timeout=SECOND        : Specify quit time after last print.\n"
               "  -T, --exec-timeout=SECOND   : Specify quit time after execute program.\n"
               "  -a, --abort-string=STRING   : Specify aborting string.\n"
               "  -c, --card-slot=SWITCH      : Card      slot SWITCH=ON|OFF, default OFF.\n"
               "  -C, --cartridge-slot=SWITCH : Cartridge slot SWITCH=ON|OFF, default OFF.\n",
               kToolName, loader::kBuildNumber, kToolName, kDebuggerName, kToolName);
}

// Enumerates into `table`; -1 when the devices cannot be accessed.
int Enumerate(const ZyrApi& api, loader::ZyrDeviceTable* table) {
  void* search = api.find_open();
  if (search == nullptr) return -1;
  // The search handle is never closed: the library keeps it.
  return loader::FillZyrDeviceTable([&](ZyrDeviceId* id) { return api.find_next(search, id) != 0; }, table);
}

int ListDevices(const Options& o, const ZyrApi& api) {
  static loader::ZyrDeviceTable table;
  if (Enumerate(api, &table) < 0) return Fail(o, api, "Cannot access devices.", kErrorDevices);
  std::printf("---- Connected devices:\n");
  for (int i = 0; i < table.count; ++i) {
    const loader::ZyrDevice& d = table.entries[i];
    switch (d.kind) {
      case loader::kZyrKindEmulator:
        std::printf("%3d: [IS-ZYR-DEBUGGER] serial:%8d\n", i, d.serial);
        break;
      case loader::kZyrKindDebugger:
        std::printf("%3d: [%s] serial:%8d\n", i, kDebuggerName, d.serial);
        break;
      case loader::kZyrKindUnknown:
        std::printf("%3d: unknown device %x:%x\n", i, d.id.kind_code, d.id.serial);
        break;
      default:
        std::printf("Illegal device\n");
        break;
    }
  }
  std::printf("Found %d device%s.\n", table.count, table.count > 1 ? "s" : "");
  return kStatusList;
}

int ShowDebuggerVersion(const ZyrApi& api) {
  int32_t major = 0, minor = 0, part3 = 0, part4 = 0;
  if (api.get_version(&major, &minor, &part3, &part4) != 0) {
    std::printf("*** %s: %s version is %d.%d.%04d.%04d\n", kToolName, kDebuggerName, major, minor, part3,
                part4);
  } else {
    std::printf("*** %s: failed to get %s version.\n", kToolName, kDebuggerName);
  }
  return kStatusDebuggerVersion;
}

enum LongOnly { kOptVersion = 0x100, kOptDebuggerVersion };

// Scans the command line in order; --version, --debuggerVersion and -L act
// when met. Returns kGoOn when a run is due, else the exit status.
int ParseArgs(int argc, char** argv, const ZyrApi& api, Options* o) {
  static const option kLongOptions[] = {
      {"version", no_argument, nullptr, kOptVersion},
      {"debuggerVersion", no_argument, nullptr, kOptDebuggerVersion},
      {"help", no_argument, nullptr, 'h'},
      {"quiet", no_argument, nullptr, 'q'},
      {"verbose", no_argument, nullptr, 'v'},
      {"list", no_argument, nullptr, 'L'},
      {"dravo", no_argument, nullptr, 'N'},
      {"lap", no_argument, nullptr, 'l'},
      {"architecture", no_argument, nullptr, 'A'},
      {"console", no_argument, nullptr, 'n'},
      {"debug", no_argument, nullptr, 'D'},
      {"type", required_argument, nullptr, 'd'},
      {"serial", required_argument, nullptr, 's'},
      {"timeout", required_argument, nullptr, 't'},
      {"exec-timeout", required_argument, nullptr, 'T'},
      {"abort-string", required_argument, nullptr, 'a'},
      {"card-slot", required_argument, nullptr, 'c'},
      {"cartridge-slot", required_argument, nullptr, 'C'},
      {nullptr, 0, nullptr, 0},
  };
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, "+hqvLNlDd:s:t:T:a:c:C:An", kLongOptions, nullptr)) != -1) {
    switch (c) {
      case kOptVersion:
        std::printf("%s Build %lu\n", kToolName, loader::kBuildNumber);
        return kStatusVersion;
      case kOptDebuggerVersion:
        return ShowDebuggerVersion(api);
      case 'L':
        return ListDevices(*o, api);
      case 'N':
        o->dravo_mode = true;
        break;
      case 'A':
        o->architecture_tags = true;
        break;
      case 'n':
        o->console_tags = true;
        break;
      case 'D':
        o->debug = true;
        break;
      case 'd':
        o->kind_filter = loader::ZyrKindFromName(loader::OptionValue(optarg));
        if (o->kind_filter == 0) return Fail(*o, api, "illegal device type.", kErrorValue);
        break;
      case 's': {
        o->serial.number = loader::ParseSerialNumber(optarg);
        const char* text = loader::OptionValue(optarg);
        o->serial.text.assign(text, std::min(std::strlen(text), kMaxSerialText));
        break;
      }
      default: {
        const loader::OptionCheck check = loader::TakeSharedOption(c, optarg, &o->run);
        if (check == loader::OptionCheck::kTaken) break;
        return Fail(*o, api, loader::OptionCheckMessage(check),
                    check == loader::OptionCheck::kNotShared ? kErrorOption : kErrorValue);
      }
    }
  }
  if (optind < argc) {
    o->run.has_input = true;
    o->run.input_path = argv[optind];
  }
  if (o->run.help || !o->run.has_input) {
    PrintUsage();
    return kStatusUsage;
  }
  return kGoOn;
}

// Chooses the device; 0 or the error status (message printed).
int SelectDevice(const Options& o, const ZyrApi& api, const loader::ZyrDeviceTable& table, ZyrDeviceId* id) {
  if (table.count == 0) return Fail(o, api, "found no device.", kErrorDevices);
  int index = -1;
  if (loader::SelectZyrDevice(table, o.kind_filter, o.serial, &index) ==
      loader::ZyrSelection::kSeveralMatch) {
    return Fail(o, api, "two or more devices matched to sperified serial number.", kErrorDevices);
  }
  if (index < 0 || table.entries[index].kind == loader::kZyrKindEmpty ||
      table.entries[index].kind == loader::kZyrKindUnknown) {
    return Fail(o, api, "illegal device.", kErrorDevices);
  }
  *id = table.entries[index].id;
  return 0;
}

Outcome EndOfRun(loader::RunEnd end) {
  switch (end) {
    case loader::RunEnd::kUserBreak:
      return {kStatusUserBreak, StopReason::kUserBreak};
    case loader::RunEnd::kAbortString:
      return {kStatusAborted, StopReason::kAbortString};
    case loader::RunEnd::kExitLine:
      return {Relay().ProgramStatus(), StopReason::kNone};
    case loader::RunEnd::kPrintTimeout:
      return {kStatusPrintTimeout, StopReason::kPrintTimeout};
    case loader::RunEnd::kExecTimeout:
    case loader::RunEnd::kFetchFailed:
      break;
  }
  return {kStatusExecTimeout, StopReason::kExecTimeout};
}

// A run from the device search to the end of the monitor; the program's
// output has stopped when it returns.
Outcome Run(const Options& o, const ZyrApi& api) {
  if (o.run.verbose) std::fputs(loader::SettingsEcho(o.run, false).c_str(), stdout);
  static loader::ZyrDeviceTable table;
  if (Enumerate(api, &table) < 0) return FailRun(o, api, "Cannot access devices.", kErrorDevices);
  ZyrDeviceId id{0, 0};
  int status = SelectDevice(o, api, table, &id);
  if (status != 0) return {status, StopReason::kNone};

  // The device library opens the image again by its name, which a named
  // pipe would not survive: only a regular file is taken.
  FILE* input = loader::OpenImage(o.run.input_path, /*regular_only=*/true);
  if (input == nullptr) return FailRun(o, api, "cannot open input file.", kErrorInput);
  void* device = api.device_open_ex(id);
  if (device == nullptr) {
    std::fclose(input);
    return FailRun(o, api, "cannot connect device.", kErrorConnect);
  }
  loader::RunClock clock(loader::ReadRunClockSettings());
  api.reset(device, 1);
  clock.Settle();

  loader::ConsoleSettings consoles;
  consoles.line.quiet = o.run.quiet;
  consoles.line.abort_string = o.run.has_abort_string ? o.run.abort_string : std::string();
  consoles.lap = o.run.lap;
  consoles.architecture_tags = o.architecture_tags;
  consoles.console_tags = o.console_tags;
  Relay().Begin(
      consoles, [](const char* text, size_t length) { std::fwrite(text, 1, length, stdout); },
      [&clock]() { return clock.ElapsedSeconds(); });
  api.set_callback_printf(device, OnPrint, 0);
  if (api.set_hybrid_mode != nullptr) {
    api.set_hybrid_mode(device, o.dravo_mode ? 1 : 0);
  } else if (o.dravo_mode) {
    std::fclose(input);
    return FailRun(o, api,
                   "cannot run as DRAVO mode. The required version of IS-ZYR-DEBUGGER is v0.64 or later.",
                   kErrorLoad);
  }
  if (api.download_go2(device, o.run.input_path.c_str()) == 0) {
    std::fclose(input);
    return FailRun(o, api, "troubled while loading input file.", kErrorLoad);
  }
  struct stat st;
  const long long size = fstat(fileno(input), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
  std::fclose(input);
  if (o.run.verbose) {
    char line[96];
    std::snprintf(line, sizeof line, "\nInput file size: %d (0x%x) byte\n", static_cast<int>(size),
                  static_cast<unsigned>(size));
    Relay().Write(line);
  }

  loader::InstallUserBreak();
  clock.Start();
  loader::ZyrWatchSettings watch;
  watch.print_timeout_s = o.run.print_timeout_s;
  watch.exec_timeout_s = o.run.exec_timeout_s;
  loader::ZyrWatchHooks hooks;
  hooks.sleep = [](int ms) { loader::RunClock::Sleep(ms); };
  hooks.elapsed_seconds = [&clock]() { return clock.ElapsedSeconds(); };
  hooks.user_break = &loader::UserBreakFlag();
  const loader::RunEnd end = loader::WatchZyrRun(&Relay(), watch, hooks);
  Relay().Stop();
  return EndOfRun(end);
}

}  // namespace

int main(int argc, char** argv) {
  ZyrApi api;
  std::string detail;
  const loader::BindResult bound = loader::BindZyrLibrary(&api, &detail);
  if (bound != loader::BindResult::kOk) {
    std::printf("*** %s: Error: %s\n", kToolName,
                loader::BindFailureMessage(bound, loader::kZyrLibraryName, detail).c_str());
    return support::CloseStdout(kErrorLibrary, nullptr);
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);

  Options o;
  Outcome outcome{ParseArgs(argc, argv, api, &o), StopReason::kNone};
  if (outcome.status == kGoOn) outcome = Run(o, api);

  // The one finish: no callback writes from here on; release the library,
  // name how the run ended, and let a lost standard output fail a run that
  // would otherwise report success.
  Relay().Stop();
  loader::ReleaseZyrLibrary(&api);
  if (!o.run.quiet) std::fputs(loader::ClosingLine(kToolName, outcome).c_str(), stdout);
  return support::CloseStdout(outcome.status, "*** bootcast.ZYR: Error: cannot write standard output.\n");
}
