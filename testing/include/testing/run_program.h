// Test-only helpers for end-to-end tests of the command-line programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

/// A path from UTF-8 text, and back: names are UTF-8 on every system, and a
/// path made from a plain string would take them in Windows's code page.
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

/// A fresh directory under the system's temporary folder, removed with all it
/// holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  /// `path()/name`.
  std::string File(const std::string& name) const;
  /// Writes `bytes` to `path()/name` (folders on the way are created).
  void Write(const std::string& name, const std::string& bytes) const;
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  /// Reads `path()/name` whole; fails the test when it does not exist.
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
  /// Names of the entries in the folder, sorted.
  std::vector<std::string> List() const;

 private:
  std::string path_;
};

/// What a finished program left behind. Standard output and error are read
/// as text: where text streams end lines with CR LF (Windows), a CR LF reads
/// as LF, unless RunOptions::binary_stdout asks for standard output as it is.
struct RunResult {
  std::string out;
  std::string err;
  /// The exit status (0..255; on Windows its low 8 bits, so that exit(-1)
  /// reads 255 on every system), or 128 + the signal number when a signal
  /// ended it (on Windows: 128 + 9 for a program killed after its time-out,
  /// 128 + 11 for one ended by an exception).
  int status = -1;
  bool signaled = false;
};

/// Options for RunProgram.
struct RunOptions {
  std::string stdin_data;
  /// Extra environment entries "NAME=value"; the child gets a minimal
  /// environment (PATH, HOME, LANG=C) plus these.
  std::vector<std::string> env;
  /// argv[0] as the program sees it; empty means the program path.
  std::string argv0;
  /// Seconds after which the program is killed (the test then fails).
  int timeout_seconds = 60;
  /// When not empty: once standard output contains this text, the program
  /// is sent `signal_number` (once), e.g. to drive a user break.
  std::string signal_when_output;
  int signal_number = 2;  // SIGINT
  /// When not empty: once an entry is created in this folder, the program
  /// is sent `signal_number` (once), e.g. to interrupt the writing of an output.
  std::string signal_when_created;
  /// When not negative: the program runs as this user and group, without
  /// supplementary groups (the test must be root to switch).
  int uid = -1;
  int gid = -1;
  /// When not negative: the largest file the program may write, in bytes,
  /// as a shell's `ulimit -f` sets it (SIGXFSZ at its default action).
  long long file_size_limit = -1;
  /// A signal that would dump core (SIGQUIT, say) leaves no core file.
  bool no_core_dump = false;
  /// When not empty: standard output goes to this file (/dev/full, say)
  /// instead of being captured.
  std::string stdout_path;
  /// Standard output exactly as the program wrote it, for a program that
  /// switches it to binary mode (on POSIX systems it always is).
  bool binary_stdout = false;
};

/// What some rows need beyond files, pipes and exit statuses.
enum class Need {
  kSignals,          // sending a signal (signal_when_output, signal_when_created)
  kFileSizeLimit,    // file_size_limit
  kDeviceFiles,      // /dev/full, /dev/stdout, /dev/fd/N, FIFOs, chmod'ed folders
  kSymlinks,         // making symbolic links
  kAnyFileName,      // file names with characters Windows refuses ('*', '?', a line break...)
  kLibraryPath,      // a library path of the user's (LD_LIBRARY_PATH) searched before the program's folder
  kShell,            // /bin/sh, for redirections
  kLongCommandLine,  // a command line of more than 32767 characters (Windows's limit)
};

/// Why this system cannot run a row that needs `need` (for GTEST_SKIP()),
/// or null when it can.
const char* Lacks(Need need);

/// Runs `program` with `args` in the working directory `cwd`, feeding
/// `options.stdin_data` on standard input, and captures both output streams.
/// An option this system cannot honour (see Lacks) fails the test.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& cwd, const RunOptions& options = {});

/// A program under test with what all its runs share (argv[0], options):
///   const Cli kTool(TOOL_PATH, "tool");
///   RunResult r = kTool.Run(dir, {"-o", "out", "in"});
class Cli {
 public:
  /// `argv0` empty: the program path.
  explicit Cli(std::string program, std::string argv0 = "");

  /// Runs the program in `dir` with `args`, feeding `stdin_data`.
  RunResult Run(const TempDir& dir, const std::vector<std::string>& args, const std::string& stdin_data = "") const;
  /// What every run gets (environment, time-out, ...).
  RunOptions& options() { return options_; }

 private:
  std::string program_;
  RunOptions options_;
};

/// Whether the test runs as root, who may write any file (never on Windows,
/// where a read-only file is read-only for everyone).
bool RunsAsRoot();

/// Makes a named pipe at `path`; false where the system has none
/// (Lacks(Need::kDeviceFiles)).
bool MakeFifo(const std::string& path);

/// A named pipe made at `path` and held open for reading and writing, so that
/// a program opens it without waiting; POSIX systems only (elsewhere ok() is
/// false: Lacks(Need::kDeviceFiles)).
class HeldFifo {
 public:
  explicit HeldFifo(const std::string& path);
  ~HeldFifo();
  HeldFifo(const HeldFifo&) = delete;
  HeldFifo& operator=(const HeldFifo&) = delete;
  bool ok() const { return fd_ >= 0; }
  /// What the pipe holds now (up to 64 KiB), without waiting.
  std::string ReadAvailable();

 private:
  int fd_ = -1;
};

/// `text` as this system's text streams write it: each LF as CR LF on
/// Windows, unchanged elsewhere (for what follows binary data on a standard
/// output read with RunOptions::binary_stdout).
std::string WrittenAsText(const std::string& text);

/// Reads a file whole (empty string when it is missing).
std::string ReadFileOrEmpty(const std::string& path);

}  // namespace testing_support
