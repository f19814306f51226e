// bootcast: downloads a first-generation ROM image to a debugger device
// through ISDRAVO.DLL, starts it and relays its console output until the run
// ends. The exit status tells how it ended.
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console_monitor.h"
#include "dravo_binding.h"
#include "dravo_devices.h"
#include "run_clock.h"

namespace {

using loader::DravoApi;

constexpr unsigned long kBuildNumber = 20080918;
constexpr size_t kChunkSize = 16384;
constexpr int kStarEvery = 32;
constexpr size_t kMaxAbortString = 256;
constexpr size_t kMaxInputPath = 1024;
// Serial numbers are 28 bits: a negative one matches no device.
constexpr int32_t kSerialMatchingNone = INT32_MIN;

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

struct Settings {
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

// Process-wide run state: the finish and error paths reach it from anywhere.
DravoApi g_api;
void* g_device = nullptr;
bool g_device_open = false;
volatile std::sig_atomic_t g_user_break = 0;

void OnInterrupt(int) { g_user_break = 1; }

[[noreturn]] void ErrorExit(const char* message, int status) {
  std::printf("*** bootcast: Error: %s\n", message);
  std::fflush(stdout);
  loader::ReleaseDravoLibrary(&g_api);
  std::exit(status);
}

enum class Reason { kNone, kUserBreak, kAbortString, kPrintTimeout, kExecTimeout };

// The finish path; the closing message names how the run ended.
[[noreturn]] void Finish(int status, Reason reason, bool quiet) {
  if (g_device_open) {
    g_api.cartridge_slot_power(g_device, 0);
    g_api.card_slot_power(g_device, 0);
  }
  loader::ReleaseDravoLibrary(&g_api);
  if (!quiet) {
    switch (reason) {
      case Reason::kUserBreak:
        std::printf("\n*** bootcast: stopped by user.\n");
        break;
      case Reason::kPrintTimeout:
        std::printf("\n*** bootcast: stopped by print timeout.\n");
        break;
      case Reason::kExecTimeout:
        std::printf("\n*** bootcast: stopped by exec timeout.\n");
        break;
      case Reason::kAbortString:
        std::printf("\n*** bootcast: stopped by aborting string.\n");
        break;
      case Reason::kNone:
        break;
    }
  }
  std::fflush(stdout);
  std::exit(status);
}

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
int Enumerate(loader::DravoDeviceTable* table) {
  void* search = g_api.find_open();
  if (search == nullptr) return -1;
  // The search handle is never closed: the library keeps it.
  return loader::FillDravoDeviceTable([search](uint32_t* id) { return g_api.find_next(search, id) != 0; },
                                      table);
}

[[noreturn]] void ListDevices(bool quiet) {
  static loader::DravoDeviceTable table;
  if (Enumerate(&table) < 0) ErrorExit("Cannot access devices.", kErrorDevices);
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
  Finish(kStatusList, Reason::kNone, quiet);
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

// Scans the command line; stops the tool on a bad option. Returns only when a
// run (or the usage) is due.
void ParseArgs(int argc, char** argv, Settings* s) {
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
        Finish(kStatusVersion, Reason::kNone, s->quiet);
      case 'h':
        s->help = true;
        break;
      case 'q':
        s->quiet = true;
        break;
      case 'v':
        s->verbose = true;
        break;
      case 'L':
        ListDevices(s->quiet);
      case 'l':
        s->lap = true;
        break;
      case 'D':
        break;
      case 'd':
        s->kind_filter = loader::DravoKindFromName(OptionValue(optarg));
        if (s->kind_filter == 0) ErrorExit("illegal device type.", kErrorValue);
        break;
      case 's': {
        // A number beyond 32 bits is no device's serial number; clamped to the
        // largest value it would read as "not given" and pick any device.
        bool out_of_range = false;
        s->serial = loader::ParseDecimal(OptionValue(optarg), &out_of_range);
        if (out_of_range) s->serial = kSerialMatchingNone;
        break;
      }
      case 't':
        s->print_timeout_s = loader::ParseDecimal(OptionValue(optarg));
        if (s->print_timeout_s <= 0) ErrorExit("illegal value for abort timeout option.", kErrorValue);
        break;
      case 'T':
        s->exec_timeout_s = loader::ParseDecimal(OptionValue(optarg));
        if (s->exec_timeout_s <= 0) ErrorExit("illegal value for abort exec timeout option.", kErrorValue);
        break;
      case 'a': {
        const char* value = OptionValue(optarg);
        const size_t length = std::strlen(value);
        if (length == 0 || length > kMaxAbortString) {
          ErrorExit("illegal value for abort string option.", kErrorValue);
        }
        s->has_abort_string = true;
        s->abort_string = value;
        break;
      }
      case 'c':
        if (!ParseSwitch(OptionValue(optarg), &s->card_slot)) {
          ErrorExit("illegal value for card slot option.", kErrorValue);
        }
        break;
      case 'C':
        if (!ParseSwitch(OptionValue(optarg), &s->cartridge_slot)) {
          ErrorExit("illegal value for cartridge slot option.", kErrorValue);
        }
        break;
      case kOptStdin:
        s->from_stdin = true;
        break;
      default:
        ErrorExit("unknown option.", kErrorOption);
    }
  }
  if (optind < argc) {
    s->has_input = true;
    s->input_path = argv[optind];
  }
}

void EchoSettings(const Settings& s) {
  if (s.from_stdin) {
    std::printf("Input file is stdin\n");
  } else {
    std::printf("Input file is [%s]\n", s.input_path.c_str());
  }
  std::printf("Print time out : %d sec.\n", s.print_timeout_s);
  std::printf("Execute time out : %d sec.\n", s.exec_timeout_s);
  std::printf("Card lock : %s.\n", s.card_slot ? "ON" : "OFF");
  std::printf("Cartridge lock : %s.\n", s.cartridge_slot ? "ON" : "OFF");
  if (s.has_abort_string) std::printf("Abort string : [%s]\n", s.abort_string.c_str());
}

void SelectDevice(const Settings& s, const loader::DravoDeviceTable& table, uint32_t* id) {
  if (table.count == 0) ErrorExit("found no device.", kErrorDevices);
  const int index = loader::SelectDravoDevice(table, s.kind_filter, s.serial);
  if (index < 0 || table.entries[index].kind == loader::kKindEmpty ||
      table.entries[index].kind == loader::kKindUnknown) {
    ErrorExit("illegal device.", kErrorDevices);
  }
  *id = table.entries[index].id;
}

// Streams the image into the device in chunks; the image is never held whole.
void Download(const Settings& s, uint32_t device_id, const loader::RunClock& clock) {
  FILE* input = stdin;
  if (!s.from_stdin) {
    // A longer path is refused rather than cut, which could name another file.
    if (s.input_path.size() > kMaxInputPath) ErrorExit("cannot open input file.", kErrorInput);
    input = std::fopen(s.input_path.c_str(), "rb");
    if (input == nullptr) ErrorExit("cannot open input file.", kErrorInput);
    // A folder opens but cannot be read as an image.
    struct stat st;
    if (fstat(fileno(input), &st) != 0 || S_ISDIR(st.st_mode)) {
      std::fclose(input);
      ErrorExit("cannot open input file.", kErrorInput);
    }
  }
  g_device = g_api.device_open(device_id);
  if (g_device == nullptr) ErrorExit("cannot connect device.", kErrorConnect);
  g_device_open = true;

  g_api.reset(g_device, 1);
  clock.Settle();

  static unsigned char chunk[kChunkSize];
  uint64_t total = 0;
  long chunk_index = 0;
  for (;;) {
    const size_t got = std::fread(chunk, 1, kChunkSize, input);
    if (got == 0) break;
    // ROM offsets are 32 bits: an image beyond them would wrap onto its start.
    if (total + got > UINT32_MAX ||
        g_api.write_rom(g_device, chunk, static_cast<uint32_t>(total), static_cast<uint32_t>(got)) == 0) {
      ErrorExit("troubled while loading input file.", kErrorLoad);
    }
    total += got;
    if (s.verbose && chunk_index % kStarEvery == 0) std::printf("*");
    ++chunk_index;
  }
  // A read error must not pass for the end of the image.
  const bool read_failed = std::ferror(input) != 0;
  if (input != stdin) std::fclose(input);
  if (read_failed) ErrorExit("troubled while loading input file.", kErrorLoad);
  if (s.verbose) {
    std::printf("\nInput file size: %d (0x%x) byte\n", static_cast<int>(total), static_cast<unsigned>(total));
  }
}

void StartProgram(const Settings& s, const loader::RunClock& clock) {
  if (s.cartridge_slot && g_api.cartridge_slot_power(g_device, 1) == 0) {
    ErrorExit("cannot use cartridge slot.", kErrorCartridge);
  }
  if (s.card_slot && g_api.card_slot_power(g_device, 1) == 0) {
    ErrorExit("cannot use card slot.", kErrorCard);
  }
  clock.Settle();
  g_api.reset(g_device, 0);
}

[[noreturn]] void Monitor(const Settings& s, const loader::RunClock& clock) {
  loader::MonitorSettings settings;
  settings.line.quiet = s.quiet;
  settings.line.abort_string = s.has_abort_string ? s.abort_string : std::string();
  settings.lap = s.lap;
  settings.print_timeout_s = s.print_timeout_s;
  settings.exec_timeout_s = s.exec_timeout_s;

  loader::MonitorHooks hooks;
  hooks.fetch = [](int channel, char* buffer, uint32_t* length) {
    *length = 0;
    return g_api.get_debug_print(g_device, channel, buffer, length, loader::kFetchCapacity) != 0;
  };
  hooks.write = [](const char* text, size_t length) { std::fwrite(text, 1, length, stdout); };
  hooks.sleep = [](int ms) { loader::RunClock::Sleep(ms); };
  hooks.elapsed_seconds = [&clock]() { return clock.ElapsedSeconds(); };
  hooks.user_break = &g_user_break;

  const loader::MonitorResult result = loader::RunMonitor(settings, hooks);
  switch (result.end) {
    case loader::RunEnd::kFetchFailed:
      g_api.device_close(g_device);
      ErrorExit("troubled while receiving print data.", kErrorReceive);
    case loader::RunEnd::kUserBreak:
      Finish(kStatusUserBreak, Reason::kUserBreak, s.quiet);
    case loader::RunEnd::kAbortString:
      Finish(kStatusAborted, Reason::kAbortString, s.quiet);
    case loader::RunEnd::kExitLine:
      Finish(result.program_status, Reason::kNone, s.quiet);
    case loader::RunEnd::kPrintTimeout:
      Finish(kStatusPrintTimeout, Reason::kPrintTimeout, s.quiet);
    case loader::RunEnd::kExecTimeout:
      Finish(kStatusExecTimeout, Reason::kExecTimeout, s.quiet);
  }
  std::abort();
}

}  // namespace

int main(int argc, char** argv) {
  std::string detail;
  switch (loader::BindDravoLibrary(&g_api, &detail)) {
    case loader::BindResult::kOk:
      break;
    case loader::BindResult::kCannotLoad:
      std::printf("*** bootcast: Error: cannot load device library %s (%s).\n", loader::kDravoLibraryName,
                  detail.c_str());
      return kErrorLibrary;
    case loader::BindResult::kMissingFunction:
      std::printf("*** bootcast: Error: device library %s has no function %s.\n", loader::kDravoLibraryName,
                  detail.c_str());
      return kErrorLibrary;
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);

  Settings s;
  ParseArgs(argc, argv, &s);
  if (s.help || s.has_input == s.from_stdin) {
    PrintUsage();
    loader::ReleaseDravoLibrary(&g_api);
    return kStatusUsage;
  }
  if (s.verbose) EchoSettings(s);

  static loader::DravoDeviceTable table;
  if (Enumerate(&table) < 0) ErrorExit("Cannot access devices.", kErrorDevices);
  uint32_t device_id = 0;
  SelectDevice(s, table, &device_id);

  loader::RunClock clock(loader::ReadRunClockSettings());
  Download(s, device_id, clock);

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  // Restarted calls keep a break from cutting a write of program text short.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);

  StartProgram(s, clock);
  clock.Start();
  Monitor(s, clock);
}
