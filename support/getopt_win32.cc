// The program's getopt on Windows: MinGW's scanner permutes and words its
// diagnostics otherwise than the GNU scanner the tools are specified with,
// so these definitions take its place (the linker takes them from this
// library before MinGW's).
#include <getopt.h>

#include "support/gnu_getopt.h"

namespace {

support::GetoptState g_state;

// The caller's variables in, one step, the results out.
int Step(int argc, char* const* argv, const char* option_string, const option* long_options, int* long_index,
         bool long_only) {
  g_state.optind = optind;
  g_state.opterr = opterr;
  const int code = support::GnuGetopt(argc, argv, option_string, long_options, long_index, long_only, &g_state);
  optind = g_state.optind;
  optarg = g_state.optarg;
  optopt = g_state.optopt;
  return code;
}

}  // namespace

extern "C" {

int optind = 1;
int opterr = 1;
int optopt = '?';
char* optarg = nullptr;

int getopt(int argc, char* const* argv, const char* option_string) {
  return Step(argc, argv, option_string, nullptr, nullptr, false);
}

int getopt_long(int argc, char* const* argv, const char* option_string, const struct option* long_options,
                int* long_index) {
  return Step(argc, argv, option_string, long_options, long_index, false);
}

int getopt_long_only(int argc, char* const* argv, const char* option_string, const struct option* long_options,
                     int* long_index) {
  return Step(argc, argv, option_string, long_options, long_index, true);
}

}  // extern "C"
