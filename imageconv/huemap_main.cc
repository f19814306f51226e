// huemap: a binary PPM image of at most 256 colours as 8-bit palette indexes
// and a 256-entry palette, C source on standard output.
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "converter_cli.h"
#include "ppm_image.h"
#include "support/c_text.h"
#include "support/tool_main.h"

namespace {

using converter_cli::CannotConvert;
using converter_cli::kExitFailure;
constexpr int kPaletteSize = 256;

struct Options {
  const char* ppm_path = nullptr;
  const char* label = nullptr;
};

int ParseArgs(int argc, char** argv, Options* options) {
  if (argc != 3) {
    fputs("Usage: huemap [256color ppm file] [label_name]\n", stderr);
    return kExitFailure;
  }
  options->ppm_path = argv[1];
  options->label = argv[2];
  return -1;
}

int Run(const Options& options) {
  if (!converter_cli::CheckLabel(options.label)) return CannotConvert(options.ppm_path);
  ppm::Image image;
  if (ppm::LoadImage(options.ppm_path, &image) != ppm::LoadStatus::kOk) {
    return CannotConvert(options.ppm_path, image.problem);
  }
  ppm::PaletteTable table(kPaletteSize);
  const size_t count = image.pixel_count();
  std::unique_ptr<uint8_t[]> indexes(new (std::nothrow) uint8_t[count]);
  if (!table.valid() || !indexes) return CannotConvert(options.ppm_path);
  // Indexes before a refused colour are still written, as they would have
  // been pixel by pixel.
  const size_t indexed = ppm::IndexPixels(image.pixels, count, &table, indexes.get());

  support::CTextWriter out(converter_cli::WriteStdout);
  const std::string width = std::to_string(image.header.width);
  const std::string height = std::to_string(image.header.height);
  out.Append(std::string("const unsigned char ") + options.label + "_Texel[" + width + " * " + height +
             "] =\n{\n");
  out.Append(converter_cli::ImageComment(options.ppm_path, image.header));
  out.AppendValues(indexes.get(), indexed, 0, ppm::ValueLines(2, true, 16));
  if (indexed < count) {
    out.Flush();
    fputs("huemap: Error too many colors (over 256)\n", stderr);
    return kExitFailure;
  }
  out.Append("\n};\n\n");
  out.Append(std::string("const unsigned short ") + options.label + "_Palette[" + std::to_string(kPaletteSize) +
             "] =\n{\n");
  uint16_t palette[kPaletteSize];
  for (int i = 0; i < kPaletteSize; ++i) palette[i] = table.Entry(i);
  out.AppendValues(palette, kPaletteSize, 0, ppm::ValueLines(4, true, 16));
  out.Append("\n};\n\n");
  out.Flush();
  return converter_cli::FinishStdout(options.ppm_path);
}

}  // namespace

int main(int argc, char** argv) {
  // Run checks standard output itself, naming the image.
  return support::ToolMain(argc, argv, ParseArgs, Run, nullptr);
}
