// tailpack: compresses one file with the backward-LZ scheme.
#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "file_helpers.h"
#include "lz_backward.h"
#include "lz_channel_trace.h"
#include "support/platform.h"
#include "support/tool_main.h"

namespace {

using filehelp::DebugPrint;
using filehelp::ErrorPrint;
using filehelp::InfoPrint;

constexpr unsigned long kBuildNumber = 20080917;
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 1;
constexpr int kGoOn = -1;
// The overwrite check met a stream that cannot come from the encoder.
constexpr int kExitInternal = 255;

struct Options {
  const char* input = nullptr;
  const char* output_base = nullptr;  // -o
  const char* suffix = nullptr;       // -e
};

int Usage() {
  fprintf(stderr,
          "ZYR-SDK Development Tool - tailpack - Compress data\n"
          "Build %lu\n"
          "\n"
          "Usage: tailpack [-d] [-o outputFile] [-e suffix] inputFile\n"
          "\n"
          "  Compress data (backward LZ)\n"
          "\n"
          "    -o outputFile FILENAME for output file   (default:input filename)\n"
          "    -e suffix     SUFFIX for output file (default:\"_BLZ\")\n"
          "    -d            Show debug messages (for test purpose)\n"
          "    -h            Show this  message\n"
          "\n",
          kBuildNumber);
  return kExitUsage;
}

// Returns kGoOn, or an exit status.
int ParseArgs(int argc, char** argv, Options* options) {
  int c;
  while ((c = getopt(argc, argv, "o:e:dhv")) != -1) {
    switch (c) {
      case 'o':
        options->output_base = optarg;
        break;
      case 'e':
        options->suffix = optarg;
        break;
      case 'd':
        // The flag lives in the file-helper channels; on at once, so that
        // this option's own debug line shows.
        filehelp::SetDebug(true);
        break;
      default:  // -h, -v and whatever getopt refused
        return Usage();
    }
    DebugPrint("option -%c: %s\n", c, optarg ? optarg : "No ARG");
  }
  const int operands = argc - optind;
  DebugPrint("argc=%d  optind=%d\n", operands, optind);
  for (int i = 0; i < operands; ++i) DebugPrint("argv[%d] = [%s]\n", i, argv[optind + i]);
  if (operands != 1) return Usage();
  options->input = argv[optind];
  return kGoOn;
}

// False when memory ran out (said already).
bool OutputName(const Options& options, std::string* output) {
  std::string base;
  if (options.output_base) {
    base = options.output_base;
  } else {
    std::string operand = options.input;
    base = filehelp::StripDirAndExt(operand.data());
  }
  return filehelp::ConcatStrings({base, options.suffix ? options.suffix : "_BLZ.bin"}, output);
}

int Run(const Options& options) {
  std::vector<uint8_t> data;
  const int size = filehelp::ReadFile(options.input, &data);
  if (size < 0) {
    InfoPrint("exit...\n");
    return kExitFailure;
  }
  std::string output;
  if (!OutputName(options, &output)) return kExitFailure;
  // However it is spelt, the output must not be the input: replacing it
  // would destroy the file being compressed.
  if (support::IsSameRegularFile(output, options.input)) {
    ErrorPrint("Output file '%s' is the same file as input file '%s'\n", output.c_str(), options.input);
    InfoPrint("exit...\n");
    return kExitFailure;
  }

  backlz::ChannelTracer tracer;
  const int image_size = backlz::CompressBackward(data.data(), size, &tracer);
  switch (image_size) {
    case backlz::kFatal:
      InfoPrint("Fatal error occured\n");
      InfoPrint("exit...\n");
      return kExitFailure;
    case backlz::kNotCompressible:
      InfoPrint("Inputdata ..... Not compressed (enlarged or same size as before)\n");
      InfoPrint("exit...\n");
      return kExitFailure;
    case backlz::kRegionTooLarge:
      ErrorPrint("Compressed region of '%s' exceeds %d bytes, the most its footer can hold\n", options.input,
                 backlz::kMaxRegion);
      InfoPrint("exit...\n");
      return kExitFailure;
    case backlz::kCorruptStream:
      ErrorPrint("System error in CheckOverwrite???\n");
      return kExitInternal;
    default:
      break;
  }

  // The report goes out before the image takes its place, so that a report
  // that cannot be written leaves no new output.
  const auto report = [&] { InfoPrint("Inputdata ..... Compressed ... %9d -> %9d\n", size, image_size); };
  if (filehelp::WriteFile(output.c_str(), data.data(), image_size, report) < 0) {
    InfoPrint("exit...\n\n");
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  return support::ToolMain(argc, argv, ParseArgs, Run, "Error: Cannot write file 'stdout'\n");
}
