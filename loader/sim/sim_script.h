// What both simulated device libraries share: the settings' number and list
// rules, the script of a simulated program's console output, and the call
// record for the tests. Compiled into each simulated library.
#pragma once

#include <mutex>
#include <string>
#include <vector>

/// Marks a function the simulated library exports (the version script or
/// export list beside the library keeps everything else inside; a Windows
/// build defines it to export from the DLL).
#ifndef SIM_EXPORT
#define SIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace sim_script {

/// The line a simulated program prints as it exits.
inline constexpr char kExitPrefix[] = "*** Exit Dravo/Zyr program (status=";
/// Exit status of a simulated program whose settings could not be used.
inline constexpr int kSettingsFailedStatus = 1;

/// An environment variable's value, empty when unset.
std::string Env(const char* name);

/// A whole unsigned number in `base` (0: C prefixes), nothing else around it.
bool ParseUnsigned(const std::string& text, int base, unsigned long long* value);

/// `text` cut at each `separator`; empty pieces stay.
std::vector<std::string> Split(const std::string& text, char separator);

/// Decodes the escapes \n \r \t \\ and \xHH; false on any other escape.
bool Unescape(const std::string& in, std::string* out);

/// The exit line with `status` copied as written.
std::string ExitLine(const std::string& status);

/// One step of a script.
struct ScriptItem {
  enum Kind { kPrint, kArgs, kExit } kind = kPrint;
  /// Milliseconds after the start of the program.
  long long due_ms = 0;
  /// Given before the script's `go` line: printed while the image is still
  /// being downloaded and started.
  bool before_go = false;
  /// The numbers that say where a print goes (channel; processor and console).
  std::vector<unsigned> address;
  /// The text of a print; the status text of an exit.
  std::string text;
};

struct ScriptFormat {
  /// Each number before a print's text, with its largest value.
  std::vector<unsigned> address_limits;
  /// Whether the script may hold a `go` line.
  bool allow_go = false;
};

/// Reads the script at `path`. Returns false with `*problem` telling the file
/// and line (the caller prints it) when the file cannot be read or a line is
/// not understood; nothing of such a script is used.
bool ReadScript(const std::string& path, const ScriptFormat& format, std::vector<ScriptItem>* items,
                std::string* problem);

/// Appends one line per call to a file named by the environment; safe to use
/// from several threads.
class CallLog {
 public:
  explicit CallLog(std::string path) : path_(std::move(path)) {}
  void Add(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::string path_;
  std::mutex mutex_;
};

/// The device search of a simulated library: the handle it gives out and the
/// devices it returns, one a call, each call recorded in `log`.
template <typename Id>
class DeviceSearch {
 public:
  /// Starts a search; null when it is to fail.
  void* Open(bool fail, CallLog* log) {
    log->Add("FindOpen%s", fail ? " failed" : "");
    if (fail) return nullptr;
    next_ = 0;
    return &handle_;
  }
  /// Stores the next of `devices` in `*id`; false at the end (recorded) and
  /// for a handle this search did not give out. The caller records a device.
  bool Next(void* search, const std::vector<Id>& devices, Id* id, CallLog* log) {
    if (search != &handle_ || id == nullptr) return false;
    if (next_ >= devices.size()) {
      log->Add("FindNext end");
      return false;
    }
    *id = devices[next_++];
    return true;
  }

 private:
  char handle_ = 0;
  size_t next_ = 0;
};

}  // namespace sim_script
