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

/// Why the image was refused, worded for the line before the cannot-convert
/// message.
inline std::string RefusalReason(const char* path, const ppm::Problem& problem) {
  static const char* const kTokens[] = {"magic number", "width", "height", "maximum value"};
  const std::string token = kTokens[problem.token & 3];
  const std::string name = std::string("\"") + path + "\"";
  switch (problem.what) {
    case ppm::Refusal::kNone: return "";
    case ppm::Refusal::kCannotOpen: return "cannot open " + name + " for reading";
    case ppm::Refusal::kFolder: return name + " is a folder";
    case ppm::Refusal::kNotRegular: return name + " is not a regular file";
    case ppm::Refusal::kReadError: return "cannot read " + name;
    case ppm::Refusal::kNoMemory: return "not enough memory to read " + name;
    case ppm::Refusal::kPlainPpm: return "plain (P3) PPM is not supported";
    case ppm::Refusal::kNotPpm: return "not a binary PPM image: it does not begin with \"P6\"";
    case ppm::Refusal::kNotNumber: return "the " + token + " is not a decimal number";
    case ppm::Refusal::kMaxValue:
      return "maximum value " + std::to_string(problem.value) + " is not supported: only 255";
    case ppm::Refusal::kSide:
      return token + " " + std::to_string(problem.value) + " is not supported: it must be at least 1";
    case ppm::Refusal::kTooLarge:
      return "the image is too large: at most " + std::to_string(ppm::kMaxPixelBytes >> 20) + " MiB of pixel data";
    case ppm::Refusal::kShortData:
      return "image data ends after " + std::to_string(problem.have) + " of " + std::to_string(problem.want) +
             " bytes";
    case ppm::Refusal::kHeaderEnds:
      break;
  }
  return problem.token == 0 ? "no PPM header: the file ends before \"P6\""
                            : "the header ends before the " + token;
}

/// The cannot-convert message after a line that says why.
inline int CannotConvert(const char* path, const ppm::Problem& problem) {
  if (problem.what != ppm::Refusal::kNone) std::fprintf(stderr, "Error: %s\n", RefusalReason(path, problem).c_str());
  return CannotConvert(path);
}

/// A label must make C identifiers of the names built on it: false, with a
/// line that says why, when it is not one, or a keyword (the caller then
/// gives the cannot-convert message).
inline bool CheckLabel(const std::string& label) {
  const support::CNameStatus name = support::CheckCName(label);
  if (name == support::CNameStatus::kValid) return true;
  std::fprintf(stderr, "Error: label \"%s\" is %s\n", label.c_str(),
               name == support::CNameStatus::kKeyword ? "a C keyword" : "not a C identifier");
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
