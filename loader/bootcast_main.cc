// bootcast: downloads a first-generation ROM image to a debugger device
// through ISDRAVO.DLL, starts it and relays its console output until the run
// ends. The exit status tells how it ended.
#include <getopt.h>

#include <cstdio>
#include <vector>

#include "dravo_devices.h"
#include "dravo_run.h"
#include "loader_main.h"
#include "loader_options.h"

namespace {

using loader::DravoApi;
using loader::DravoOptions;
using loader::Reporter;
using namespace loader::statuses;

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

enum LongOnly { kOptVersion = 0x100, kOptStdin };

// Scans the command line in order; --version and -L act when met. Returns
// kGoOn when a run is due, else the exit status (usage, query or error).
int ParseArgs(int argc, char** argv, const DravoApi& api, const Reporter& reporter, DravoOptions* o) {
  static const std::vector<option> kLongOptions = loader::LongOptions({
      {"version", no_argument, nullptr, kOptVersion},
      {"stdin", no_argument, nullptr, kOptStdin},
      {"standard-input", no_argument, nullptr, kOptStdin},
  });
  const auto own = [&](int c, const char* value) {
    switch (c) {
      case kOptVersion:
        return loader::ShowVersion(reporter);
      case 'L':
        return loader::ListDravoDevices(api, reporter);
      case 'D':
        return kGoOn;
      case 'd':
        return loader::TakeKind(loader::DravoKindFromName(loader::OptionValue(value)), &o->kind_filter, reporter);
      case kOptStdin:
        return loader::SetFlag(&o->run.from_stdin);
    }
    return loader::kNotOwnOption;
  };
  return loader::ScanOptions(argc, argv, "+hqvlLDd:s:t:T:a:c:C:", kLongOptions, reporter, PrintUsage, &o->run, own);
}

}  // namespace

int main(int argc, char** argv) {
  DravoApi api;
  DravoOptions o;
  const Reporter reporter("bootcast", loader::StandardOutput());
  return loader::LoaderMain(argc, argv, reporter, &api, &o, ParseArgs, loader::RunDravo);
}
