// bootcast: downloads a first-generation ROM image to a debugger device
// through ISDRAVO.DLL, starts it and relays its console output until the run
// ends. The exit status tells how it ended.
#include <getopt.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "dravo_binding.h"
#include "dravo_devices.h"
#include "loader_finish.h"
#include "loader_options.h"
#include "poll_monitor.h"
#include "run_clock.h"
#include "support/file_io.h"

namespace {

using loader::DravoApi;
using loader::Outcome;
using loader::StopReason;
using namespace loader::statuses;

constexpr const char* kToolName = "bootcast";
constexpr size_t kChunkSize = 16384;
constexpr int kStarEvery = 32;

struct Options {
  loader::RunSettings run;
  bool from_stdin = false;
  int kind_filter = 0;
  int32_t serial = loader::kSerialNotGiven;
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
               loader::kBuildNumber);
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
        std::printf("bootcast Build %lu\n", loader::kBuildNumber);
        return kStatusVersion;
      case 'L':
        return ListDevices(api);
      case 'D':
        break;
      case 'd':
        o->kind_filter = loader::DravoKindFromName(loader::OptionValue(optarg));
        if (o->kind_filter == 0) return Fail("illegal device type.", kErrorValue);
        break;
      case 's':
        o->serial = loader::ParseSerialNumber(optarg);
        break;
      case kOptStdin:
        o->from_stdin = true;
        break;
      default: {
        const loader::OptionCheck check = loader::TakeSharedOption(c, optarg, &o->run);
        if (check == loader::OptionCheck::kTaken) break;
        return Fail(loader::OptionCheckMessage(check),
                    check == loader::OptionCheck::kNotShared ? kErrorOption : kErrorValue);
      }
    }
  }
  if (optind < argc) {
    o->run.has_input = true;
    o->run.input_path = argv[optind];
  }
  if (o->run.help || o->run.has_input == o->from_stdin) {
    PrintUsage();
    return kStatusUsage;
  }
  return kGoOn;
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
    input = loader::OpenImage(o.run.input_path);
    if (input == nullptr) return Fail("cannot open input file.", kErrorInput);
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
    if (o.run.verbose && chunk_index % kStarEvery == 0) std::printf("*");
    ++chunk_index;
  }
  // A read error must not pass for the end of the image.
  const bool read_failed = std::ferror(input) != 0;
  close_input();
  if (read_failed) return Fail("troubled while loading input file.", kErrorLoad);
  if (o.run.verbose) {
    std::printf("\nInput file size: %d (0x%x) byte\n", static_cast<int>(total), static_cast<unsigned>(total));
  }
  return 0;
}

int StartProgram(const Options& o, const DravoApi& api, const loader::RunClock& clock, const Device& device) {
  if (o.run.cartridge_slot && api.cartridge_slot_power(device.handle, 1) == 0) {
    return Fail("cannot use cartridge slot.", kErrorCartridge);
  }
  if (o.run.card_slot && api.card_slot_power(device.handle, 1) == 0) {
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
  settings.line.quiet = o.run.quiet;
  settings.line.abort_string = o.run.has_abort_string ? o.run.abort_string : std::string();
  settings.lap = o.run.lap;
  settings.print_timeout_s = o.run.print_timeout_s;
  settings.exec_timeout_s = o.run.exec_timeout_s;

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
  if (o.run.verbose) std::fputs(loader::SettingsEcho(o.run, o.from_stdin).c_str(), stdout);
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
  const loader::BindResult bound = loader::BindDravoLibrary(&api, &detail);
  if (bound != loader::BindResult::kOk) {
    std::printf("*** %s: Error: %s\n", kToolName,
                loader::BindFailureMessage(bound, loader::kDravoLibraryName, detail).c_str());
    return support::CloseStdout(kErrorLibrary, nullptr);
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);

  Options o;
  Outcome outcome{ParseArgs(argc, argv, api, &o), StopReason::kNone};
  if (outcome.status == kGoOn) outcome = Run(o, api);

  // The one finish: release the library, name how the run ended, and let a
  // lost standard output fail a run that would otherwise report success.
  loader::ReleaseDravoLibrary(&api);
  if (!o.run.quiet) std::fputs(loader::ClosingLine(kToolName, outcome).c_str(), stdout);
  return support::CloseStdout(outcome.status, "*** bootcast: Error: cannot write standard output.\n");
}
