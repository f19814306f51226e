// Runs a program and sends it SIGINT once its standard output shows a given
// text: for the user-break path, which RunProgram cannot drive.
#pragma once

#include <string>
#include <vector>

#include "testing/run_program.h"

namespace loader_test {

/// Starts `program` with `args` in `cwd` (minimal environment plus `env`),
/// waits until its standard output contains `ready_text`, sends SIGINT, and
/// collects the rest. The program is killed after `timeout_seconds`.
testing_support::RunResult RunAndInterrupt(const std::string& program, const std::vector<std::string>& args,
                                           const std::string& cwd, const std::vector<std::string>& env,
                                           const std::string& ready_text, int timeout_seconds = 20);

}  // namespace loader_test
