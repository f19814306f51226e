// What the mains of huecast, huemap and huetile share: the failure message,
// which names the image, the line before it that says why, the check of a
// label, the comment line that describes the image, and standard output as
// a sink for the value lines.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "ppm_image.h"
#include "support/c_text.h"
#include "support/file_io.h"

namespace converter_cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

inline int CannotConvert(const char* path) {
  std::fprintf(stderr, "Cannot convert file \"%s\".\n", path);
  return kExitFailure;
}

/// Why the image was refused, in a line of its own before the cannot-convert
/// message that names it.
inline int CannotConvert(const char* path, const ppm::Problem& problem) {
  static const char* const kTokens[] = {"magic number", "width", "height", "maximum value"};
  const char* token = kTokens[problem.token & 3];
  switch (problem.what) {
    case ppm::Refusal::kNone:
      break;
    case ppm::Refusal::kCannotOpen:
      std::fprintf(stderr, "Error: cannot open \"%s\" for reading\n", path);
      break;
    case ppm::Refusal::kFolder:
      std::fprintf(stderr, "Error: \"%s\" is a folder\n", path);
      break;
    case ppm::Refusal::kNotRegular:
      std::fprintf(stderr, "Error: \"%s\" is not a regular file\n", path);
      break;
    case ppm::Refusal::kReadError:
      std::fprintf(stderr, "Error: cannot read \"%s\"\n", path);
      break;
    case ppm::Refusal::kNoMemory:
      std::fprintf(stderr, "Error: not enough memory to read \"%s\"\n", path);
      break;
    case ppm::Refusal::kPlainPpm:
      std::fputs("Error: plain (P3) PPM is not supported\n", stderr);
      break;
    case ppm::Refusal::kNotPpm:
      std::fputs("Error: not a binary PPM image: it does not begin with \"P6\"\n", stderr);
      break;
    case ppm::Refusal::kHeaderEnds:
      if (problem.token == 0) {
        std::fputs("Error: no PPM header: the file ends before \"P6\"\n", stderr);
      } else {
        std::fprintf(stderr, "Error: the header ends before the %s\n", token);
      }
      break;
    case ppm::Refusal::kNotNumber:
      std::fprintf(stderr, "Error: the %s is not a decimal number\n", token);
      break;
    case ppm::Refusal::kMaxValue:
      std::fprintf(stderr, "Error: maximum value %lld is not supported: only 255\n", problem.value);
      break;
    case ppm::Refusal::kSide:
      std::fprintf(stderr, "Error: %s %lld is not supported: it must be at least 1\n", token, problem.value);
      break;
    case ppm::Refusal::kTooLarge:
      std::fprintf(stderr, "Error: the image is too large: at most %lld MiB of pixel data\n",
                   ppm::kMaxPixelBytes >> 20);
      break;
    case ppm::Refusal::kShortData:
      std::fprintf(stderr, "Error: image data ends after %llu of %llu bytes\n",
                   static_cast<unsigned long long>(problem.have), static_cast<unsigned long long>(problem.want));
      break;
  }
  return CannotConvert(path);
}

/// A label must make C identifiers of the names built on it: refused (with
/// the cannot-convert message for `path`) when it is not one, or a keyword.
inline bool CheckLabel(const std::string& label, const char* path, int* status) {
  const support::CNameStatus name = support::CheckCName(label);
  if (name == support::CNameStatus::kValid) return true;
  std::fprintf(stderr, "Error: label \"%s\" is %s\n", label.c_str(),
               name == support::CNameStatus::kKeyword ? "a C keyword" : "not a C identifier");
  *status = CannotConvert(path);
  return false;
}

/// "\t/* <path>: WIDTH=<w> HEIGHT=<h> DEPTH=<max> */\n", with a backslash
/// between any '*' and '/' of the path, so that the comment neither ends nor
/// opens another one early whatever the path holds.
inline std::string ImageComment(const char* path, const ppm::Header& header) {
  std::string text = "\t/* ";
  for (const char* p = path; *p != '\0'; ++p) {
    text += *p;
    if ((p[0] == '*' && p[1] == '/') || (p[0] == '/' && p[1] == '*')) text += '\\';
  }
  return text + ": WIDTH=" + std::to_string(header.width) + " HEIGHT=" + std::to_string(header.height) +
         " DEPTH=" + std::to_string(header.max_value) + " */\n";
}

inline bool WriteStdout(const char* data, size_t size) { return std::fwrite(data, 1, size, stdout) == size; }

/// The end of a run that wrote to standard output: a lost output fails it
/// with the cannot-convert message.
inline int FinishStdout(const char* path) {
  return support::FlushStdout() ? kExitOk : CannotConvert(path);
}

}  // namespace converter_cli
