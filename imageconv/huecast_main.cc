// huecast: a binary PPM image as console colour values, C initialiser text on
// standard output.
#include <cstdio>
#include <string>
#include <vector>

#include "ppm_image.h"
#include "support/file_io.h"
#include "value_lines.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
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

std::string CannotConvertMessage(const char* path) { return std::string("Cannot convert file \"") + path + "\".\n"; }

int CannotConvert(const char* path) {
  fputs(CannotConvertMessage(path).c_str(), stderr);
  return kExitFailure;
}

bool WriteStdout(const char* data, size_t size) { return fwrite(data, 1, size, stdout) == size; }

int Run(const Options& options) {
  ppm::Image image;
  const ppm::LoadStatus loaded = ppm::LoadImage(options.ppm_path, &image);
  if (loaded == ppm::LoadStatus::kCannotConvert) return CannotConvert(options.ppm_path);
  textout::BlockOutput out(WriteStdout);
  // The comment line goes out even when the pixel data then proves short.
  out.Append(std::string("\t/* ") + options.ppm_path + ": WIDTH=" + std::to_string(image.header.width) +
             " HEIGHT=" + std::to_string(image.header.height) +
             " DEPTH=" + std::to_string(image.header.max_value) + " */\n");
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
  const std::string message = options.ppm_path ? CannotConvertMessage(options.ppm_path) : std::string();
  return support::CloseStdout(status, message.c_str());
}
