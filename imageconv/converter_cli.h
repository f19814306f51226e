// What the mains of huecast, huemap and huetile share: the one failure
// message, which names the image, the comment line that describes it, and
// standard output as a sink for the value lines.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "ppm_image.h"
#include "support/file_io.h"

namespace converter_cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

inline std::string CannotConvertMessage(const char* path) {
  return std::string("Cannot convert file \"") + path + "\".\n";
}

inline int CannotConvert(const char* path) {
  std::fputs(CannotConvertMessage(path).c_str(), stderr);
  return kExitFailure;
}

/// "\t/* <path>: WIDTH=<w> HEIGHT=<h> DEPTH=<max> */\n"
inline std::string ImageComment(const char* path, const ppm::Header& header) {
  return std::string("\t/* ") + path + ": WIDTH=" + std::to_string(header.width) +
         " HEIGHT=" + std::to_string(header.height) + " DEPTH=" + std::to_string(header.max_value) + " */\n";
}

inline bool WriteStdout(const char* data, size_t size) { return std::fwrite(data, 1, size, stdout) == size; }

/// The checked close of standard output at exit: a lost output fails the
/// run with the cannot-convert message (none before an image was named).
inline int Finish(int status, const char* ppm_path) {
  const std::string message = ppm_path != nullptr ? CannotConvertMessage(ppm_path) : std::string();
  return support::CloseStdout(status, message.c_str());
}

}  // namespace converter_cli
