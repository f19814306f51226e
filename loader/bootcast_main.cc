// bootcast: downloads a first-generation ROM image to a debugger device
// through ISDRAVO.DLL, starts it and relays its console output until the run
// ends. The exit status tells how it ended.
#include <getopt.h>
#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "dravo_binding.h"
#include "dravo_devices.h"
#include "loader_finish.h"
#include "poll_monitor.h"
#include "run_clock.h"
#include "support/file_io.h"
#include "support/text_parse.h"

namespace {

using loader::DravoApi;
using loader::Outcome;
using loader::StopReason;

constexpr const char* kToolName = "bootcast";
constexpr unsigned long kBuildNumber = 20080918;
constexpr size_t kChunkSize = 16384;
constexpr int kStarEvery = 32;
constexpr size_t kMaxAbortString = 256;
constexpr size_t kMaxInputPath = 1024;
// Serial numbers are 28 bits: a negative one matches no device.
constexpr int32_t kSerialMatchingNone = INT32_MIN;

// ParseArgs: the run goes on (every real status, negative ones too, is an end).
constexpr int kGoOn = INT_MIN;

// Statuses of an error stop.
constexpr int kErrorDevices = -1;
constexpr int kErrorOption = -2;
constexpr int kErrorValue = -3;
constexpr int kErrorInput = -4;
constexpr int kErrorConnect = -5;
constexpr int kErrorCartridge = -6;
constexpr int kErrorCard = -7;
constexpr int kErrorReceive = -8;
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

struct Options {
  bool quiet = false;
  bool verbose = false;
  bool lap = false;
  bool from_stdin = false;
  bool help = false;
  int kind_filter = 0;
  int32_t serial = loader::kSerialNotGiven;
  int print_timeout_s = 0;
  int exec_timeout_s = 0;
  bool has_abort_string = false;
  std::string abort_string;
  bool card_slot = false;
  bool cartridge_slot = false;
  bool has_input = false;
  std::string input_path;
};

// The error path: the message, then the status. It neither switches the slots
// off nor closes the device.
int Fail(const char* message, int status) {
  std::printf("*** bootcast: Error: %s\n", message);
  return status;
}

Outcome FailRun(const char* message, int status) { return {Fail(message, status), StopReason::kNone}; }

void PrintUsage() {
  std::fprintf(stderr,
               "DRAVO-SDK Development Tool - bootcast - Execute DRAVO ROM image\n"
               "Build %lu\n"
               "\n"
               "Usage: bootcast [OPTION] <SrlFile>\n"
               "\t\tdownload Dravo srl file to debugger and execute.\n"
               "\n"
               "Options:\n"
               "  --version                   : Show version.\n"
               "  -h, --help                  : Show this help.\n"
               "  -q, --quiet                 : Quiet mode.\n"
               "  -v, --verbose               : Verbose mode.\n"
               "  -L, --list                  : List connecting device.\n"
               "  -l, --lap                   : Show lap time at each line.\n"
               "  -s, --serial=SERIAL         : Specify serial number.\n"
               "  -t, --timeout=SECOND        : Specify quit time after last print.\n"
               "  -T, --exec-timeout=SECOND   : Specify quit time after execute program.\n"
               "  -a, --abort-string=STRING   : Specify aborting string.\n"
               "  -c, --card-slot=SWITCH      : Card      slot SWITCH=ON|OFF, default OFF.\n"
               "  -C, --cartridge-slot=SWITCH : Cartridge slot SWITCH=ON|OFF, default OFF.\n"
               "  --stdin, --standard-input   : Read data from stdin instead of <SrlFile>.\n"
               "\n",
               kBuildNumber);
}

// Enumerates into `table`; -1 when the devices cannot be accessed.
int Enumerate(const DravoApi& api, loader::DravoDeviceTable* table) {
  void* search = api.find_open();
  if (search == nullptr) return -1;
  // The search handle is never closed: the library keeps it.
  return loader::FillDravoDeviceTable([&](uint32_t* id) { return api.find_next(search, id) != 0; }, table);
}

int ListDevices(const DravoApi& api) {
  static loader::DravoDeviceTable table;
  if (Enumerate(api, &table) < 0) return Fail("Cannot access devices.", kErrorDevices);
  std::printf("---- Connected devices:\n");
  for (int i = 0; i < table.count; ++i) {
    const loader::DravoDevice& d = table.entries[i];
    switch (d.kind) {
      case loader::kKindVktUsb:
        std::printf("%3d: [VKTUSB]  IS-VKT-EMU(USB) serial:%8d\n", i, d.serial);
        break;
      case loader::kKindVktScsi:
        std::printf("%3d: [VKTSCSI]  IS-VKT-EMULATOR serial(host-id):%02d%02d\n", i, d.host_id, d.serial);
        break;
      case loader::kKindDravoUsb:
        std::printf("%3d: [DRAVOUSB]  IS-DRAVO-EMULATOR serial:%08d\n", i, d.serial);
        break;
      case loader::kKindDravoUic:
        std::printf("%3d: [DRAVOUIC]  IS-DRAVO-UIC serial: %08d\n", i, d.serial);
        break;
      case loader::kKindUnknown:
        std::printf("%3d: unknown device %x\n", i, d.id);
        break;
      default:
        std::printf("Illegal device\n");
        break;
    }
  }
  std::printf("%d device(s) found.\n", table.count);
  return kStatusList;
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

enum LongOnly { kOptVersion = 0x100, kOptStdin };

// Scans the command line in order; --version and -L act when met. Returns
// kGoOn when a run is due, else the exit status (usage, query or error).
int ParseArgs(int argc, char** argv, const DravoApi& api, Options* o) {
  static const option kLongOptions[] = {
      {"version", no_argument, nullptr, kOptVersion},
      {"help", no_argument, nullptr, 'h'},
      {"quiet", no_argument, nullptr, 'q'},
      {"verbose", no_argument, nullptr, 'v'},
      {"list", no_argument, nullptr, 'L'},
      {"lap", no_argument, nullptr, 'l'},
      {"debug", no_argument, nullptr, 'D'},
      {"type", required_argument, nullptr, 'd'},
      {"serial", required_argument, nullptr, 's'},
      {"timeout", required_argument, nullptr, 't'},
      {"exec-timeout", required_argument, nullptr, 'T'},
      {"abort-string", required_argument, nullptr, 'a'},
      {"card-slot", required_argument, nullptr, 'c'},
      {"cartridge-slot", required_argument, nullptr, 'C'},
      {"stdin", no_argument, nullptr, kOptStdin},
      {"standard-input", no_argument, nullptr, kOptStdin},
      {nullptr, 0, nullptr, 0},
  };
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, "+hqvlLDd:s:t:T:a:c:C:", kLongOptions, nullptr)) != -1) {
    switch (c) {
      case kOptVersion:
        std::printf("bootcast Build %lu\n", kBuildNumber);
        return kStatusVersion;
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
        return ListDevices(api);
      case 'l':
        o->lap = true;
        break;
      case 'D':
        break;
      case 'd':
        o->kind_filter = loader::DravoKindFromName(OptionValue(optarg));
        if (o->kind_filter == 0) return Fail("illegal device type.", kErrorValue);
        break;
      case 's': {
        // A number beyond 32 bits is no device's serial number; clamped to the
        // largest value it would read as "not given" and pick any device.
        bool out_of_range = false;
        o->serial = support::ParseIntPrefix(OptionValue(optarg), &out_of_range);
        if (out_of_range) o->serial = kSerialMatchingNone;
        break;
      }
      case 't':
        o->print_timeout_s = support::ParseIntPrefix(OptionValue(optarg));
        if (o->print_timeout_s <= 0) return Fail("illegal value for abort timeout option.", kErrorValue);
        break;
      case 'T':
        o->exec_timeout_s = support::ParseIntPrefix(OptionValue(optarg));
        if (o->exec_timeout_s <= 0) return Fail("illegal value for abort exec timeout option.", kErrorValue);
        break;
      case 'a': {
        const char* value = OptionValue(optarg);
        const size_t length = std::strlen(value);
        if (length == 0 || length > kMaxAbortString) {
          return Fail("illegal value for abort string option.", kErrorValue);
        }
        o->has_abort_string = true;
        o->abort_string = value;
        break;
      }
      case 'c':
        if (!ParseSwitch(OptionValue(optarg), &o->card_slot)) {
          return Fail("illegal value for card slot option.", kErrorValue);
        }
        break;
      case 'C':
        if (!ParseSwitch(OptionValue(optarg), &o->cartridge_slot)) {
          return Fail("illegal value for cartridge slot option.", kErrorValue);
        }
        break;
      case kOptStdin:
        o->from_stdin = true;
        break;
      default:
        return Fail("unknown option.", kErrorOption);
    }
  }
  if (optind < argc) {
    o->has_input = true;
    o->input_path = argv[optind];
  }
  if (o->help || o->has_input == o->from_stdin) {
    PrintUsage();
    return kStatusUsage;
  }
  return kGoOn;
}

void EchoSettings(const Options& o) {
  if (o.from_stdin) {
    std::printf("Input file is stdin\n");
  } else {
    std::printf("Input file is [%s]\n", o.input_path.c_str());
  }
  std::printf("Print time out : %d sec.\n", o.print_timeout_s);
  std::printf("Execute time out : %d sec.\n", o.exec_timeout_s);
  std::printf("Card lock : %s.\n", o.card_slot ? "ON" : "OFF");
  std::printf("Cartridge lock : %s.\n", o.cartridge_slot ? "ON" : "OFF");
  if (o.has_abort_string) std::printf("Abort string : [%s]\n", o.abort_string.c_str());
}

// The device of a run; the finish path switches its slots off once it is open.
struct Device {
  void* handle = nullptr;
  bool open = false;
};

// Opens the input, connects the device and streams the image into it in
// chunks (never held whole). Returns 0 or the error status (message printed).
int Download(const Options& o, const DravoApi& api, uint32_t device_id, const loader::RunClock& clock,
             Device* device) {
  FILE* input = stdin;
  if (!o.from_stdin) {
    // A longer path is refused rather than cut, which could name another file.
    if (o.input_path.size() > kMaxInputPath) return Fail("cannot open input file.", kErrorInput);
    input = std::fopen(o.input_path.c_str(), "rb");
    if (input == nullptr) return Fail("cannot open input file.", kErrorInput);
    // A folder opens but cannot be read as an image.
    struct stat st;
    if (fstat(fileno(input), &st) != 0 || S_ISDIR(st.st_mode)) {
      std::fclose(input);
      return Fail("cannot open input file.", kErrorInput);
    }
  }
  const auto close_input = [&] {
    if (input != stdin) std::fclose(input);
  };
  device->handle = api.device_open(device_id);
  if (device->handle == nullptr) {
    close_input();
    return Fail("cannot connect device.", kErrorConnect);
  }
  device->open = true;

  api.reset(device->handle, 1);
  clock.Settle();

  static unsigned char chunk[kChunkSize];
  uint64_t total = 0;
  long chunk_index = 0;
  for (;;) {
    const size_t got = std::fread(chunk, 1, kChunkSize, input);
    if (got == 0) break;
    // ROM offsets are 32 bits: an image beyond them would wrap onto its start.
    if (total + got > UINT32_MAX ||
        api.write_rom(device->handle, chunk, static_cast<uint32_t>(total), static_cast<uint32_t>(got)) == 0) {
      close_input();
      return Fail("troubled while loading input file.", kErrorLoad);
    }
    total += got;
    if (o.verbose && chunk_index % kStarEvery == 0) std::printf("*");
    ++chunk_index;
  }
  // A read error must not pass for the end of the image.
  const bool read_failed = std::ferror(input) != 0;
  close_input();
  if (read_failed) return Fail("troubled while loading input file.", kErrorLoad);
  if (o.verbose) {
    std::printf("\nInput file size: %d (0x%x) byte\n", static_cast<int>(total), static_cast<unsigned>(total));
  }
  return 0;
}

int StartProgram(const Options& o, const DravoApi& api, const loader::RunClock& clock, const Device& device) {
  if (o.cartridge_slot && api.cartridge_slot_power(device.handle, 1) == 0) {
    return Fail("cannot use cartridge slot.", kErrorCartridge);
  }
  if (o.card_slot && api.card_slot_power(device.handle, 1) == 0) {
    return Fail("cannot use card slot.", kErrorCard);
  }
  clock.Settle();
  api.reset(device.handle, 0);
  return 0;
}

// `*device_failed` tells a failed fetch, after which the device is closed.
Outcome Monitor(const Options& o, const DravoApi& api, const loader::RunClock& clock, const Device& device,
                bool* device_failed) {
  loader::MonitorSettings settings;
  settings.line.quiet = o.quiet;
  settings.line.abort_string = o.has_abort_string ? o.abort_string : std::string();
  settings.lap = o.lap;
  settings.print_timeout_s = o.print_timeout_s;
  settings.exec_timeout_s = o.exec_timeout_s;

  loader::MonitorHooks hooks;
  hooks.fetch = [&](int channel, char* buffer, uint32_t* length) {
    *length = 0;
    return api.get_debug_print(device.handle, channel, buffer, length, loader::kFetchCapacity) != 0;
  };
  hooks.write = [](const char* text, size_t length) { std::fwrite(text, 1, length, stdout); };
  hooks.sleep = [](int ms) { loader::RunClock::Sleep(ms); };
  hooks.elapsed_seconds = [&clock]() { return clock.ElapsedSeconds(); };
  hooks.user_break = &loader::UserBreakFlag();

  const loader::MonitorResult result = loader::RunMonitor(settings, hooks);
  switch (result.end) {
    case loader::RunEnd::kFetchFailed:
      break;
    case loader::RunEnd::kUserBreak:
      return {kStatusUserBreak, StopReason::kUserBreak};
    case loader::RunEnd::kAbortString:
      return {kStatusAborted, StopReason::kAbortString};
    case loader::RunEnd::kExitLine:
      return {result.program_status, StopReason::kNone};
    case loader::RunEnd::kPrintTimeout:
      return {kStatusPrintTimeout, StopReason::kPrintTimeout};
    case loader::RunEnd::kExecTimeout:
      return {kStatusExecTimeout, StopReason::kExecTimeout};
  }
  *device_failed = true;
  api.device_close(device.handle);
  return FailRun("troubled while receiving print data.", kErrorReceive);
}

// A run from the device search to the end of the monitor. A run that got as
// far as the monitor switches both slots off, whatever the slot options were.
Outcome Run(const Options& o, const DravoApi& api) {
  if (o.verbose) EchoSettings(o);
  static loader::DravoDeviceTable table;
  if (Enumerate(api, &table) < 0) return FailRun("Cannot access devices.", kErrorDevices);
  if (table.count == 0) return FailRun("found no device.", kErrorDevices);
  const int index = loader::SelectDravoDevice(table, o.kind_filter, o.serial);
  if (index < 0 || table.entries[index].kind == loader::kKindEmpty ||
      table.entries[index].kind == loader::kKindUnknown) {
    return FailRun("illegal device.", kErrorDevices);
  }

  loader::RunClock clock(loader::ReadRunClockSettings());
  Device device;
  int status = Download(o, api, table.entries[index].id, clock, &device);
  if (status != 0) return {status, StopReason::kNone};
  loader::InstallUserBreak();
  status = StartProgram(o, api, clock, device);
  if (status != 0) return {status, StopReason::kNone};
  clock.Start();
  bool device_failed = false;
  const Outcome outcome = Monitor(o, api, clock, device, &device_failed);
  if (!device_failed) {
    api.cartridge_slot_power(device.handle, 0);
    api.card_slot_power(device.handle, 0);
  }
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  DravoApi api;
  std::string detail;
  switch (loader::BindDravoLibrary(&api, &detail)) {
    case loader::BindResult::kOk:
      break;
    case loader::BindResult::kCannotLoad:
      std::printf("*** bootcast: Error: cannot load device library %s (%s).\n", loader::kDravoLibraryName,
                  detail.c_str());
      return support::CloseStdout(kErrorLibrary, nullptr);
    case loader::BindResult::kMissingFunction:
      std::printf("*** bootcast: Error: device library %s has no function %s.\n", loader::kDravoLibraryName,
                  detail.c_str());
      return support::CloseStdout(kErrorLibrary, nullptr);
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);

  Options o;
  Outcome outcome{ParseArgs(argc, argv, api, &o), StopReason::kNone};
  if (outcome.status == kGoOn) outcome = Run(o, api);

  // The one finish: release the library, name how the run ended, and let a
  // lost standard output fail a run that would otherwise report success.
  loader::ReleaseDravoLibrary(&api);
  if (!o.quiet) std::fputs(loader::ClosingLine(kToolName, outcome).c_str(), stdout);
  return support::CloseStdout(outcome.status, "*** bootcast: Error: cannot write standard output.\n");
}
