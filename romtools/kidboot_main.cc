// kidboot: builds the image a child console boots from, out of a ROM image
// and a system-call image.
#include <getopt.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "child_boot.h"
#include "file_helpers.h"
#include "support/platform.h"
#include "support/tool_main.h"

namespace {

using filehelp::DebugPrint;
using filehelp::ErrorPrint;

constexpr unsigned long kBuildNumber = 20090303;
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

struct Options {
  romtools::ChildBootSettings settings;
  const char* rom = nullptr;
  const char* syscall = nullptr;
  const char* output = nullptr;
};

int Usage() {
  fprintf(stderr,
          "DRAVO-SDK Development Tool - kidboot - Emulate child console booting image\n"
          "Build %lu\n"
          "\n"
          "Usage: kidboot [-a I_OFFSET] [-A I_SIZE]\n"
          "                [-c C_OFFSET] [-C C_SIZE] [-f] [-d] [-h]\n"
          "                ORIG_ROM SYSCALL CONV_ROM\n"
          "\n"
          "  Emulate child console booting image\n"
          "     Insert new syscall and clear specified area\n"
          "\n"
          "    -a I_OFFSET  Default 0x4000. Location to insert syscall.\n"
          "    -A I_SIZE    Default 0x0800. Size to insert.\n"
          "    -c C_OFFSET  Default 0x5000. Location to clear romimage.\n"
          "    -C C_SIZE    Default 0x2000. Size to clear.\n"
          "    -f           Output full ROM Binary. [Default only ROM header and static segment]\n"
          "    -d           Show debug messages (for test purpose)\n"
          "    -h           Show this  message\n"
          "\n",
          kBuildNumber);
  return kExitFailure;
}

// The option that sets each number, or null.
int* NumberFor(int option, romtools::ChildBootSettings* s) {
  switch (option) {
    case 'a':
      return &s->insert_offset;
    case 'A':
      return &s->insert_size;
    case 'c':
      return &s->clear_offset;
    case 'C':
      return &s->clear_size;
    default:
      return nullptr;
  }
}

int ParseArgs(int argc, char** argv, Options* options) {
  int c;
  while ((c = getopt(argc, argv, "a:A:c:C:dhvf")) != -1) {
    if (int* number = NumberFor(c, &options->settings)) {
      // The usage prints hexadecimal defaults: such a value must not read
      // as 0, nor a value with anything after its digits as those digits.
      if (!romtools::ParseSettingValue(optarg, number)) {
        ErrorPrint("Option -%c: '%s' is not a number\n", c, optarg);
        return Usage();
      }
    } else if (c == 'f') {
      options->settings.full_output = true;
    } else if (c == 'd') {
      filehelp::SetDebug(true);
    } else {  // -h, -v and whatever getopt refused
      return Usage();
    }
    DebugPrint("option -%c: %s\n", c, optarg ? optarg : "No ARG");
  }
  const int operands = argc - optind;
  DebugPrint("argc=%d  optind=%d\n", operands, optind);
  if (operands != 3) return Usage();
  options->rom = argv[optind];
  options->syscall = argv[optind + 1];
  options->output = argv[optind + 2];
  return -1;
}

// A sum as the range messages show it: what a 32-bit value would print,
// or the whole sum where that would have wrapped.
unsigned long long Shown(int64_t value) {
  return value < 0 ? static_cast<uint32_t>(value) : static_cast<unsigned long long>(value);
}

int Fail() {
  ErrorPrint("exit...\n");
  return kExitFailure;
}

int Run(const Options& options) {
  const romtools::ChildBootSettings& s = options.settings;
  // The output replaces a file of that name: never one of the inputs.
  for (const char* input : {options.rom, options.syscall}) {
    if (support::IsSameRegularFile(options.output, input)) {
      ErrorPrint("Output file '%s' is the same file as '%s'.\n", options.output, input);
      return Fail();
    }
  }
  std::vector<uint8_t> rom;
  std::vector<uint8_t> syscall;
  const int rom_size = filehelp::ReadFile(options.rom, &rom, filehelp::OpenFailureWording::kCannotRead);
  const int syscall_size = filehelp::ReadFile(options.syscall, &syscall, filehelp::OpenFailureWording::kCannotRead);
  if (rom_size < 0 || syscall_size < 0) return Fail();

  romtools::ChildBootPlan plan;
  switch (romtools::BuildChildBootImage(s, &rom, syscall, &plan)) {
    case romtools::ChildBootCheck::kOk:
      break;
    case romtools::ChildBootCheck::kRomSmallerThanSyscall:
      ErrorPrint("'%s' is smaller than '%s'.\n", options.rom, options.syscall);
      return Fail();
    case romtools::ChildBootCheck::kSyscallSmallerThanInsert:
      ErrorPrint("'%s' is smaller than inserting size.\n", options.syscall);
      return Fail();
    case romtools::ChildBootCheck::kRomSmallerThanHeader:
      ErrorPrint("'%s' is smaller than ROM header (0x40 bytes).\n", options.rom);
      return Fail();
    case romtools::ChildBootCheck::kParentSection:
      ErrorPrint("Clearing range (0x%llx-0x%llx) seems to include except parent section too.\n",
                 Shown(plan.clear_offset), Shown(plan.clear_end));
      return Fail();
    case romtools::ChildBootCheck::kInsertOutOfRange:
      ErrorPrint("Inserting range (0x%08llx-0x%08llx) is out of rom area (0x00000000-0x%08x).\n",
                 Shown(s.insert_offset), Shown(plan.insert_end), rom_size);
      return Fail();
    case romtools::ChildBootCheck::kClearOutOfRange:
      ErrorPrint("Clearing range (0x%llx-0x%llx) is out of rom area (0x0-0x%x).\n", Shown(plan.clear_offset),
                 Shown(plan.clear_end), rom_size);
      return Fail();
    case romtools::ChildBootCheck::kSegmentsBeyondImage:
      ErrorPrint("Static segments (0x0-0x%llx) are out of rom area (0x0-0x%x).\n",
                 static_cast<unsigned long long>(plan.segments_end), rom_size);
      return Fail();
  }
  if (filehelp::WriteFile(options.output, rom.data(), static_cast<int>(plan.output_length)) < 0) return Fail();
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  return support::ToolMain(argc, argv, ParseArgs, Run, "Error: Cannot write file 'stdout'\n");
}
