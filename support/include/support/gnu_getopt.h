// The option scanner the tools know from GNU systems, for systems whose C
// library has another (MinGW's, whose permutation and messages differ) or
// none: getopt, getopt_long and getopt_long_only with the same results,
// argument permutation and diagnostics. On Windows getopt_win32.cc makes it
// the program's getopt; elsewhere the C library's own is used.
#pragma once

#include <getopt.h>

namespace support {

/// The scanner's state: the four variables a caller sees (optind, opterr,
/// optopt, optarg) and what it keeps between calls.
struct GetoptState {
  int optind = 1;
  int opterr = 1;
  int optopt = '?';
  char* optarg = nullptr;

  bool initialized = false;
  enum class Order { kPermute, kRequireOrder, kReturnInOrder } order = Order::kPermute;
  char* next_char = nullptr;  // the rest of the current cluster of short options
  int first_nonoption = 1;    // the operands passed over so far: [first, last)
  int last_nonoption = 1;
};

/// One step of the scan, as GNU getopt_long (`long_only` false) or
/// getopt_long_only does it; `long_options` may be null (plain getopt).
/// Operands are moved behind the options unless `option_string` starts with
/// "+" (or POSIXLY_CORRECT is set); optind 0 starts a new scan.
int GnuGetopt(int argc, char* const* argv, const char* option_string, const option* long_options, int* long_index,
              bool long_only, GetoptState* state);

}  // namespace support
