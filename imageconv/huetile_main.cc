// huetile: a binary PPM image as a palette and palette indexes in 8 x 8
// tiles (8-bit or 4-bit), written to a file as binary data or C source.
#include <getopt.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "converter_cli.h"
#include "ppm_image.h"
#include "support/c_text.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/tool_main.h"
#include "tile_data.h"

namespace {

using converter_cli::CannotConvert;
using converter_cli::kExitFailure;
using converter_cli::kExitOk;

// Which blocks are written.
constexpr int kPartPalette = 1;
constexpr int kPartIndexes = 2;
constexpr int kPartBoth = 3;

struct Options {
  std::string label;  // C source when set, binary data when empty
  int capacity = 256;  // 256: 8-bit indexes, 16: 4-bit indexes
  int parts = kPartBoth;
  bool debug = false;
  const char* ppm_path = nullptr;
  const char* output_path = nullptr;
};

bool debug_lines = false;

void DebugPrint(const char* format, ...) {
  if (!debug_lines) return;
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
}

// With an error, "Error: <error>" and a blank line come first.
int Usage(const char* error) {
  if (error != nullptr) fprintf(stderr, "Error: %s\n\n", error);
  fputs(
      "Usage: huetile [-a labelname] [-b] [-c [4|8]] [-p] [-i] ppmfile outputfile \n"
      "\n"
      "  - Read [ppmfile] and convert it to [outputfile]\n"
      "\n"
      "          -a labelname : output as C source code         \n"
      "          -b           : output as binary file   (default:binary)\n"
      "          -c 4 or 8    : color mode 4bit or 8bit (default:8bit  )\n"
      "          -p           : output palette data    \n"
      "          -i           : output color index data\n"
      "\n",
      stderr);
  return kExitFailure;
}

int ParseArgs(int argc, char** argv, Options* options) {
  int c;
  while ((c = getopt(argc, argv, "ba:c:pihvd")) != -1) {
    switch (c) {
      case 'a':
        options->label = optarg;
        break;
      case 'b':
        options->label.clear();
        break;
      case 'c':
        if (strcmp(optarg, "8") == 0) {
          options->capacity = 256;
        } else if (strcmp(optarg, "4") == 0) {
          options->capacity = 16;
        } else {
          return Usage("-c : must be followed by 8 or 4");
        }
        break;
      case 'p':
        options->parts = options->parts == kPartIndexes ? kPartBoth : kPartPalette;
        break;
      case 'i':
        options->parts = options->parts == kPartPalette ? kPartBoth : kPartIndexes;
        break;
      case 'd':
        options->debug = true;
        debug_lines = true;
        break;
      case 'h':
      case 'v':
        return Usage(nullptr);
      default: {
        char error[32];
        snprintf(error, sizeof error, "-%c : Unknown option", c);
        return Usage(error);
      }
    }
    DebugPrint("option -%c: %s\n", c, optarg ? optarg : "No ARG");
  }
  DebugPrint("argc=%d  optind=%d\n", argc, optind);
  for (int i = optind; i < argc; ++i) DebugPrint("argv[%d] = [%s]\n", i, argv[i]);
  if (argc - optind != 2) return Usage("need 2 arguments");
  options->ppm_path = argv[optind];
  options->output_path = argv[optind + 1];
  return -1;
}

// An output that cannot be written is named first: the cannot-convert line
// that follows names only the image.
int CannotOpenOutput(const Options& options) {
  fprintf(stderr, "Error: cannot open \"%s\" for writing\n", options.output_path);
  return CannotConvert(options.ppm_path);
}

// `error` is the system's reason for the first failed write, 0 when unknown.
int CannotWriteOutput(const Options& options, int error) {
  if (error != 0) {
    fprintf(stderr, "Error: cannot write \"%s\": %s\n", options.output_path, strerror(error));
  } else {
    fprintf(stderr, "Error: cannot write \"%s\"\n", options.output_path);
  }
  return CannotConvert(options.ppm_path);
}

int Run(const Options& options) {
  if (!options.label.empty() && !converter_cli::CheckLabel(options.label)) return CannotConvert(options.ppm_path);
  // Replacing the image with its own conversion would destroy it.
  if (support::IsSameRegularFile(options.output_path, options.ppm_path)) {
    fprintf(stderr, "Error: output file \"%s\" is the input file \"%s\"\n", options.output_path, options.ppm_path);
    return CannotConvert(options.ppm_path);
  }
  ppm::Image image;
  if (ppm::LoadImage(options.ppm_path, &image) != ppm::LoadStatus::kOk) {
    return CannotConvert(options.ppm_path, image.problem);
  }
  const int width = image.width();
  const int height = image.height();
  // The tile walk would leave the image otherwise.
  if (width % tiles::kTileSide != 0 || height % tiles::kTileSide != 0) {
    fputs("Error: width and height must be multiples of 8\n", stderr);
    return CannotConvert(options.ppm_path);
  }

  std::unique_ptr<ppm::PaletteTable> table(new (std::nothrow) ppm::PaletteTable(options.capacity));
  if (!table || !table->valid()) {
    fputs("Cannot allocate memory.", stderr);
    return kExitFailure;
  }
  const size_t count = image.pixel_count();
  const bool four_bit = options.capacity == 16;
  const size_t tile_bytes = tiles::TileBytes(width, height, four_bit);
  std::unique_ptr<uint8_t[]> indexes(new (std::nothrow) uint8_t[count]);
  std::unique_ptr<uint8_t[]> tiled(new (std::nothrow) uint8_t[tile_bytes]);
  if (!indexes || !tiled) return CannotConvert(options.ppm_path);
  if (ppm::IndexPixels(image.pixels, count, table.get(), indexes.get()) < count) {
    fprintf(stderr, "huetile: Error too many colors (over %d)\n", options.capacity);
    return CannotConvert(options.ppm_path);
  }
  tiles::ArrangeTiles(indexes.get(), width, height, four_bit, tiled.get());

  // Written under a temporary name and put in place only when complete.
  support::OutputFile file;
  if (file.Open(options.output_path) != support::WriteStatus::kOk) return CannotOpenOutput(options);
  int write_error = 0;
  auto put = [&file, &write_error](const void* data, size_t size) {
    if (file.Write(data, size)) return true;
    if (write_error == 0) write_error = errno;
    return false;
  };
  const bool palette = (options.parts & kPartPalette) != 0;
  const bool texel = (options.parts & kPartIndexes) != 0;
  const int palette_count = tiles::EvenPaletteCount(*table);
  if (options.label.empty()) {
    if (palette) {
      const std::string words = tiles::BinaryPalette(*table, palette_count);
      put(words.data(), words.size());
    }
    if (texel) put(tiled.get(), tile_bytes);
  } else {
    support::CTextWriter out([&put](const char* data, size_t size) { return put(data, size); });
    if (palette) tiles::WriteCPalette(options.label, *table, palette_count, &out);
    if (texel) tiles::WriteCTexel(options.label, width, height, tiled.get(), tile_bytes, &out);
    out.Flush();
  }
  if (file.Commit() != support::WriteStatus::kOk) return CannotWriteOutput(options, write_error);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  // Nothing but the output file is written: standard output stays unused.
  return support::ToolMain(argc, argv, ParseArgs, Run, nullptr);
}
