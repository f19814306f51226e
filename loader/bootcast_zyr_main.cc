// bootcast.ZYR: runs a second-generation ROM image on a debugger device
// through ISZYR.DLL, which downloads and starts it and pushes the program's
// console output to a callback. Relays that output until the run ends; the
// exit status tells how it ended.
#include <getopt.h>
#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "loader_finish.h"
#include "run_clock.h"
#include "support/file_io.h"
#include "support/text_parse.h"
#include "zyr_binding.h"
#include "zyr_devices.h"
#include "zyr_monitor.h"

namespace {

using loader::Outcome;
using loader::StopReason;
using loader::ZyrApi;

constexpr const char* kToolName = "bootcast.ZYR";
constexpr const char* kDebuggerName = "IS-ZYR-DEBUGGER";
constexpr unsigned long kBuildNumber = 20080918;
constexpr size_t kMaxAbortString = 256;
constexpr size_t kMaxInputPath = 1024;
constexpr size_t kMaxSerialText = 255;
// A serial number beyond 32 bits is no device's number (its text may still
// name one by its end).
constexpr int32_t kSerialMatchingNone = INT32_MIN;

// ParseArgs: the run goes on (every real status, negative ones too, is an end).
constexpr int kGoOn = INT_MIN;

// Statuses of an error stop.
constexpr int kErrorDevices = -1;
constexpr int kErrorOption = -2;
constexpr int kErrorValue = -3;
constexpr int kErrorInput = -4;
constexpr int kErrorConnect = -5;
constexpr int kErrorLoad = -9;
constexpr int kErrorLibrary = -10;

// Statuses of a normal end.
constexpr int kStatusAborted = 200;
constexpr int kStatusVersion = 201;
constexpr int kStatusUsage = 202;
constexpr int kStatusList = 203;
constexpr int kStatusPrintTimeout = 204;
constexpr int kStatusExecTimeout = 205;
constexpr int kStatusUserBreak = 206;
constexpr int kStatusDebuggerVersion = 207;

struct Options {
  bool quiet = false;
  bool verbose = false;
  bool lap = false;
  bool help = false;
  bool dravo_mode = false;
  bool architecture_tags = false;
  bool console_tags = false;
  bool debug = false;
  int kind_filter = 0;
  loader::ZyrSerialWanted serial;
  int print_timeout_s = 0;
  int exec_timeout_s = 0;
  bool has_abort_string = false;
  std::string abort_string;
  bool card_slot = false;
  bool cartridge_slot = false;
  bool has_input = false;
  std::string input_path;
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
               kToolName, kBuildNumber, kToolName, kDebuggerName, kToolName);
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
    std::printf("*** %s: %s version is %d.%d.%04d.%04d\n", kToolName, kDebuggerName, major, minor, part3, part4);
  } else {
    std::printf("*** %s: failed to get %s version.\n", kToolName, kDebuggerName);
  }
  return kStatusDebuggerVersion;
}

// Skips the one "=" that may lead an option value (so -t=10 means 10).
const char* OptionValue(const char* value) { return value[0] == '=' ? value + 1 : value; }

bool ParseSwitch(const char* value, bool* on) {
  if (std::strcmp(value, "ON") == 0 || std::strcmp(value, "on") == 0) {
    *on = true;
    return true;
  }
  if (std::strcmp(value, "OFF") == 0 || std::strcmp(value, "off") == 0) {
    *on = false;
    return true;
  }
  return false;
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
        std::printf("%s Build %lu\n", kToolName, kBuildNumber);
        return kStatusVersion;
      case kOptDebuggerVersion:
        return ShowDebuggerVersion(api);
      case 'h':
        o->help = true;
        break;
      case 'q':
        o->quiet = true;
        break;
      case 'v':
        o->verbose = true;
        break;
      case 'L':
        return ListDevices(*o, api);
      case 'N':
        o->dravo_mode = true;
        break;
      case 'l':
        o->lap = true;
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
        o->kind_filter = loader::ZyrKindFromName(OptionValue(optarg));
        if (o->kind_filter == 0) return Fail(*o, api, "illegal device type.", kErrorValue);
        break;
      case 's': {
        const char* value = OptionValue(optarg);
        bool out_of_range = false;
        o->serial.number = support::ParseIntPrefix(value, &out_of_range);
        if (out_of_range) o->serial.number = kSerialMatchingNone;
        o->serial.text.assign(value, std::min(std::strlen(value), kMaxSerialText));
        break;
      }
      case 't':
        o->print_timeout_s = support::ParseIntPrefix(OptionValue(optarg));
        if (o->print_timeout_s <= 0) return Fail(*o, api, "illegal value for abort timeout option.", kErrorValue);
        break;
      case 'T':
        o->exec_timeout_s = support::ParseIntPrefix(OptionValue(optarg));
        if (o->exec_timeout_s <= 0) {
          return Fail(*o, api, "illegal value for abort exec timeout option.", kErrorValue);
        }
        break;
      case 'a': {
        const char* value = OptionValue(optarg);
        const size_t length = std::strlen(value);
        if (length == 0 || length > kMaxAbortString) {
          return Fail(*o, api, "illegal value for abort string option.", kErrorValue);
        }
        o->has_abort_string = true;
        o->abort_string = value;
        break;
      }
      case 'c':
        if (!ParseSwitch(OptionValue(optarg), &o->card_slot)) {
          return Fail(*o, api, "illegal value for card slot option.", kErrorValue);
        }
        break;
      case 'C':
        if (!ParseSwitch(OptionValue(optarg), &o->cartridge_slot)) {
          return Fail(*o, api, "illegal value for cartridge slot option.", kErrorValue);
        }
        break;
      default:
        return Fail(*o, api, "unknown option.", kErrorOption);
    }
  }
  if (optind < argc) {
    o->has_input = true;
    o->input_path = argv[optind];
  }
  if (o->help || !o->has_input) {
    PrintUsage();
    return kStatusUsage;
  }
  return kGoOn;
}

void EchoSettings(const Options& o) {
  std::printf("Input file is [%s]\n", o.input_path.c_str());
  std::printf("Print time out : %d sec.\n", o.print_timeout_s);
  std::printf("Execute time out : %d sec.\n", o.exec_timeout_s);
  std::printf("Card lock : %s.\n", o.card_slot ? "ON" : "OFF");
  std::printf("Cartridge lock : %s.\n", o.cartridge_slot ? "ON" : "OFF");
  if (o.has_abort_string) std::printf("Abort string : [%s]\n", o.abort_string.c_str());
}

// Chooses the device; 0 or the error status (message printed).
int SelectDevice(const Options& o, const ZyrApi& api, const loader::ZyrDeviceTable& table, ZyrDeviceId* id) {
  if (table.count == 0) return Fail(o, api, "found no device.", kErrorDevices);
  int index = -1;
  if (loader::SelectZyrDevice(table, o.kind_filter, o.serial, &index) == loader::ZyrSelection::kSeveralMatch) {
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
  if (o.verbose) EchoSettings(o);
  static loader::ZyrDeviceTable table;
  if (Enumerate(api, &table) < 0) return FailRun(o, api, "Cannot access devices.", kErrorDevices);
  ZyrDeviceId id{0, 0};
  int status = SelectDevice(o, api, table, &id);
  if (status != 0) return {status, StopReason::kNone};

  // A longer path is refused rather than cut, which could name another file.
  if (o.input_path.size() > kMaxInputPath) return FailRun(o, api, "cannot open input file.", kErrorInput);
  FILE* input = std::fopen(o.input_path.c_str(), "rb");
  if (input == nullptr) return FailRun(o, api, "cannot open input file.", kErrorInput);
  // A folder opens but is no image.
  struct stat st;
  if (fstat(fileno(input), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(input);
    return FailRun(o, api, "cannot open input file.", kErrorInput);
  }
  void* device = api.device_open_ex(id);
  if (device == nullptr) {
    std::fclose(input);
    return FailRun(o, api, "cannot connect device.", kErrorConnect);
  }
  loader::RunClock clock(loader::ReadRunClockSettings());
  api.reset(device, 1);
  clock.Settle();

  loader::ConsoleSettings consoles;
  consoles.line.quiet = o.quiet;
  consoles.line.abort_string = o.has_abort_string ? o.abort_string : std::string();
  consoles.lap = o.lap;
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
  if (api.download_go2(device, o.input_path.c_str()) == 0) {
    std::fclose(input);
    return FailRun(o, api, "troubled while loading input file.", kErrorLoad);
  }
  std::fclose(input);
  if (o.verbose) {
    char line[96];
    std::snprintf(line, sizeof line, "\nInput file size: %d (0x%x) byte\n", static_cast<int>(st.st_size),
                  static_cast<unsigned>(st.st_size));
    Relay().Write(line);
  }

  loader::InstallUserBreak();
  clock.Start();
  loader::ZyrWatchSettings watch;
  watch.print_timeout_s = o.print_timeout_s;
  watch.exec_timeout_s = o.exec_timeout_s;
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
  switch (loader::BindZyrLibrary(&api, &detail)) {
    case loader::BindResult::kOk:
      break;
    case loader::BindResult::kCannotLoad:
      std::printf("*** %s: Error: cannot load device library %s (%s).\n", kToolName, loader::kZyrLibraryName,
                  detail.c_str());
      return support::CloseStdout(kErrorLibrary, nullptr);
    case loader::BindResult::kMissingFunction:
      std::printf("*** %s: Error: device library %s has no function %s.\n", kToolName, loader::kZyrLibraryName,
                  detail.c_str());
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
  if (!o.quiet) std::fputs(loader::ClosingLine(kToolName, outcome).c_str(), stdout);
  return support::CloseStdout(outcome.status, "*** bootcast.ZYR: Error: cannot write standard output.\n");
}
