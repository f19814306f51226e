// bootcast.ZYR: runs a second-generation ROM image on a debugger device
// through ISZYR.DLL, which downloads and starts it and pushes the program's
// console output to a callback. Relays that output until the run ends; the
// exit status tells how it ended.
#include <getopt.h>

#include <cstdio>
#include <vector>

#include "loader_main.h"
#include "loader_options.h"
#include "zyr_devices.h"
#include "zyr_run.h"

namespace {

using loader::Reporter;
using loader::ZyrApi;
using loader::ZyrOptions;
using namespace loader::statuses;

constexpr const char* kToolName = "bootcast.ZYR";

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
               kToolName, loader::kBuildNumber, kToolName, loader::kZyrDebuggerName, kToolName);
}

enum LongOnly { kOptVersion = 0x100, kOptDebuggerVersion };

// Scans the command line in order; --version, --debuggerVersion and -L act
// when met. Returns kGoOn when a run is due, else the exit status.
int ParseArgs(int argc, char** argv, const ZyrApi& api, const Reporter& reporter, ZyrOptions* o) {
  static const std::vector<option> kLongOptions = loader::LongOptions({
      {"version", no_argument, nullptr, kOptVersion},
      {"debuggerVersion", no_argument, nullptr, kOptDebuggerVersion},
      {"dravo", no_argument, nullptr, 'N'},
      {"architecture", no_argument, nullptr, 'A'},
      {"console", no_argument, nullptr, 'n'},
  });
  const auto own = [&](int c, const char* value) {
    switch (c) {
      case kOptVersion:
        return loader::ShowVersion(reporter);
      case kOptDebuggerVersion:
        return loader::ShowZyrDebuggerVersion(api, reporter);
      case 'L':
        return loader::ListZyrDevices(api, reporter);
      case 'N':
        return loader::SetFlag(&o->dravo_mode);
      case 'A':
        return loader::SetFlag(&o->architecture_tags);
      case 'n':
        return loader::SetFlag(&o->console_tags);
      case 'D':
        return loader::SetFlag(&o->debug);
      case 'd':
        return loader::TakeKind(loader::ZyrKindFromName(loader::OptionValue(value)), &o->kind_filter, reporter);
    }
    return loader::kNotOwnOption;
  };
  return loader::ScanOptions(argc, argv, "+hqvLNlDd:s:t:T:a:c:C:An", kLongOptions, reporter, PrintUsage, &o->run, own);
}

}  // namespace

int main(int argc, char** argv) {
  ZyrApi api;
  ZyrOptions o;
  Reporter reporter(kToolName, loader::StandardOutput());
  // In debug mode the library's last error comes before every error message.
  reporter.before_error = [&] {
    if (o.debug) reporter.Write(loader::ZyrLastErrorLine(api));
  };
  return loader::LoaderMain(argc, argv, reporter, &api, &o, ParseArgs, loader::RunZyr);
}
