// The rows that every tool writing an output file must pass, run end to end
// against the program: descriptors and pipes named as paths, files whose
// identity a rename would change, long names, link loops and signals.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

/// Files by name and content.
using FileList = std::vector<std::pair<std::string, std::string>>;

/// How one tool writes one output, as the rows see it.
struct OutputTool {
  std::string program;
  /// Input files, written into the folder the program runs in.
  FileList inputs;
  /// The arguments that make the program write `expected` to `output`.
  std::function<std::vector<std::string>(const std::string& output)> args;
  std::string expected;
  /// Standard output of a successful run, apart from the output itself.
  std::string success_out;
  /// Standard output and error of a run whose output cannot be opened.
  std::string open_failure_out;
  std::function<std::string(const std::string& output)> open_failure_err;
  /// Inputs (under the same names) whose output takes long enough to write
  /// that a signal can arrive while the temporary file exists.
  FileList large_inputs;
};

/// Runs every row for `tool`, each in a fresh folder, as an unprivileged
/// user when the test runs as root (rows that need another user are skipped,
/// with a note, when there is none).
void ExpectOutputRows(const OutputTool& tool);

}  // namespace testing_support
