// The life every tool shares: read the options, run, and check standard
// output at exit.
//
//   int main(int argc, char** argv) {
//     return support::ToolMain(argc, argv, ParseArgs, Run, "tool: cannot write standard output\n");
//   }
#pragma once

#include "support/file_io.h"
#include "support/platform.h"

namespace support {

/// Calls `parse` (a status, or a negative value to go on), then `run` with
/// the options it filled, and returns the status CloseStdout() makes of it.
/// The arguments reach `parse` as the system's UTF-8 text.
template <typename Options>
int ToolMain(int argc, char** argv, int (*parse)(int, char**, Options*), int (*run)(const Options&),
             const char* stdout_failure) {
  PrepareArguments(&argc, &argv);
  Options options;
  int status = parse(argc, argv, &options);
  if (status < 0) status = run(options);
  return CloseStdout(status, stdout_failure);
}

}  // namespace support
