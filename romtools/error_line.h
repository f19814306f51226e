// For the mains of cartcleave, stampview and signmerge: an error line on
// standard error that comes after whatever standard output already holds.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace romtools_cli {

__attribute__((format(printf, 1, 2))) inline void ErrorLine(const char* format, ...) {
  std::fflush(stdout);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

}  // namespace romtools_cli
