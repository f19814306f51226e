// The rows that every tool writing an output file must pass, run end to end
// against the program: descriptors and pipes named as paths, files whose
// identity a rename would change, long names, link loops and signals; an
// existing or read-only output, an absolute path (with a drive letter on
// Windows) and a name outside ASCII. Rows that need what the system lacks
// (testing_support::Lacks) are skipped with a note on standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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
  /// Standard output of a successful run, apart from the output itself;
  /// success_out_of, when set, gives it for the output as named.
  std::string success_out;
  std::function<std::string(const std::string& output)> success_out_of;
  /// Exit status, standard output and error of a run whose output cannot be opened.
  int open_failure_status = 1;
  std::string open_failure_out;
  std::function<std::string(const std::string& output)> open_failure_err;
  /// Inputs (under the same names) whose output takes long enough to write
  /// that a signal can arrive while the temporary file exists.
  FileList large_inputs;
};

/// An account to run a program as.
struct User {
  uint32_t uid;
  uint32_t gid;
};

/// The user the rows run as: the test's own when it is not root, else an
/// unprivileged account, if the system has one (none on Windows, which has
/// no such users).
std::optional<User> RowUser();

/// Gives `path` (a link itself, not what it names) and, when it is a
/// folder, everything in it to `user`; false when that fails.
bool GiveAllTo(const std::string& path, const User& user);

/// Runs every row for `tool`, each in a fresh folder, as an unprivileged
/// user when the test runs as root (rows that need another user are skipped,
/// with a note, when there is none).
void ExpectOutputRows(const OutputTool& tool);

/// The rows of ExpectOutputRows that outputs named as users name them meet
/// on every system: an existing output replaced, a read-only one refused, an
/// absolute path (a drive letter and backslashes on Windows) and a name
/// outside ASCII. `large_inputs` is not used.
void ExpectPlainOutputRows(const OutputTool& tool);

/// The faults a tool must meet with a clear message, its documented status
/// and no damage to an existing output.
enum class Fault {
  kFullDevice,         // the output is /dev/full
  kDiskFull,           // the disk fills while the output is written (also into an
                       // old output with a second name, which is written in place)
  kFolderNotWritable,  // the output is a new name in a folder the user may not write
  kOutputIsFolder,     // the output names a folder
  kInputMissing,       // the input vanished before the run
  kInputIsFolder,      // the input names a folder
  kInputIsFifo,        // the input is a named pipe that another process feeds
  kInputTruncated,     // the input is cut short
  kOutputIsInput,      // the output names an input (the same string, ./name, the
                       // absolute path, a hard link, a symbolic link)
  kStdoutFull,         // standard output is /dev/full: a run that fails leaves no
                       // new output and the old one as it was
};

/// What a run ends with.
struct Outcome {
  int status = 0;
  std::string out;
  std::string err;
};

/// One tool as the fault rows see it. Every row runs in a fresh folder that
/// holds the inputs and an old output "out", which must come through every
/// failing row unchanged; rows that need a path name it in `outcome`'s
/// second argument (the output's for output rows, `input` for input rows).
struct FaultTool {
  std::string program;
  FileList inputs;
  /// The arguments for a run that writes `output`.
  std::function<std::vector<std::string>(const std::string& output)> args;
  /// What a good run writes to the output; the output rows are left out when
  /// the tool writes no file.
  bool writes_output = true;
  std::string expected;
  /// The input that the input rows replace, and its bytes cut short.
  std::string input;
  std::string truncated;
  /// What the output holds after a truncated input, when the tool accepts it.
  std::string truncated_expected;
  std::function<Outcome(Fault, const std::string& path)> outcome;
  /// Extra environment entries for every run.
  std::vector<std::string> env;
  /// Whether the rows kOutputIsInput (for every input) and kStdoutFull run.
  bool strict_rows = false;
  /// What a run whose output (as spelt) is the input `input` ends with.
  std::function<Outcome(const std::string& output, const std::string& input)> same_file_outcome;
};

/// Runs every fault row for `tool` (as an unprivileged user when the test
/// runs as root; the folder row is skipped, with a note, when there is none).
void ExpectFaultRows(const FaultTool& tool);

}  // namespace testing_support
