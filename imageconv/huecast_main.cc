// huecast: a binary PPM image as console colour values, C initialiser text on
// standard output.
#include <cstdio>
#include <string>
#include <vector>

#include "converter_cli.h"
#include "ppm_image.h"
#include "support/c_text.h"
#include "support/tool_main.h"

namespace {

using converter_cli::CannotConvert;
using converter_cli::kExitFailure;

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
  if (loaded == ppm::LoadStatus::kCannotConvert) return CannotConvert(options.ppm_path, image.problem);
  support::CTextWriter out(converter_cli::WriteStdout);
  // The comment line goes out even when the pixel data then proves short.
  out.Append(converter_cli::ImageComment(options.ppm_path, image.header));
  if (loaded == ppm::LoadStatus::kShortData) {
    out.Flush();
    return CannotConvert(options.ppm_path, image.problem);
  }
  const support::HexLayout layout = ppm::ValueLines(4, false, 16);
  constexpr size_t kPiece = 64 * 1024;
  std::vector<uint16_t> colors(kPiece);
  const size_t count = image.pixel_count();
  for (size_t done = 0; done < count && !out.failed(); done += kPiece) {
    const size_t n = count - done < kPiece ? count - done : kPiece;
    ppm::PackPixels(image.pixels + done * 3, n, colors.data());
    out.AppendValues(colors.data(), n, done, layout);
  }
  out.Flush();
  return converter_cli::FinishStdout(options.ppm_path);
}

}  // namespace

int main(int argc, char** argv) {
  // Run checks standard output itself, naming the image.
  return support::ToolMain(argc, argv, ParseArgs, Run, nullptr);
}
