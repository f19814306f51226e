// huecast: a binary PPM image as console colour values, C initialiser text on
// standard output.
#include <cstdio>
#include <string>
#include <vector>

#include "converter_cli.h"
#include "ppm_image.h"
#include "value_lines.h"

namespace {

using converter_cli::CannotConvert;
using converter_cli::kExitFailure;
using converter_cli::kExitOk;
constexpr int kValuesPerLine = 16;

struct Options {
  const char* ppm_path = nullptr;
};

int ParseArgs(int argc, char** argv, Options* options) {
  if (argc != 2) {
    fputs("Usage: huecast [ppm file]\n", stderr);
    return kExitFailure;
  }
  options->ppm_path = argv[1];
  return -1;
}


int Run(const Options& options) {
  ppm::Image image;
  const ppm::LoadStatus loaded = ppm::LoadImage(options.ppm_path, &image);
  if (loaded == ppm::LoadStatus::kCannotConvert) return CannotConvert(options.ppm_path);
  textout::BlockOutput out(converter_cli::WriteStdout);
  // The comment line goes out even when the pixel data then proves short.
  out.Append(converter_cli::ImageComment(options.ppm_path, image.header));
  if (loaded == ppm::LoadStatus::kShortData) {
    out.Flush();
    return CannotConvert(options.ppm_path);
  }
  constexpr size_t kPiece = 64 * 1024;
  std::vector<uint16_t> colors(kPiece);
  const size_t count = image.pixel_count();
  for (size_t done = 0; done < count && !out.failed(); done += kPiece) {
    const size_t n = count - done < kPiece ? count - done : kPiece;
    ppm::PackPixels(image.pixels + done * 3, n, colors.data());
    out.AppendValues(colors.data(), n, done, kValuesPerLine, textout::HexForm::kWord);
  }
  out.Flush();
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int status = ParseArgs(argc, argv, &options);
  if (status < 0) status = Run(options);
  return converter_cli::Finish(status, options.ppm_path);
}
