// What the command lines of both loaders share: their exit statuses, the
// options and value rules they have in common, the settings echo and the
// opening of the image.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace loader {

/// The exit statuses; `using namespace loader::statuses` in a main.
inline namespace statuses {

/// ParseArgs: the run goes on (every real status, negative ones too, ends).
inline constexpr int kGoOn = INT_MIN;

// Statuses of an error stop.
inline constexpr int kErrorDevices = -1;
inline constexpr int kErrorOption = -2;
inline constexpr int kErrorValue = -3;
inline constexpr int kErrorInput = -4;
inline constexpr int kErrorConnect = -5;
inline constexpr int kErrorCartridge = -6;
inline constexpr int kErrorCard = -7;
inline constexpr int kErrorReceive = -8;
inline constexpr int kErrorLoad = -9;
inline constexpr int kErrorLibrary = -10;

// Statuses of a normal end.
inline constexpr int kStatusAborted = 200;
inline constexpr int kStatusVersion = 201;
inline constexpr int kStatusUsage = 202;
inline constexpr int kStatusList = 203;
inline constexpr int kStatusPrintTimeout = 204;
inline constexpr int kStatusExecTimeout = 205;
inline constexpr int kStatusUserBreak = 206;
inline constexpr int kStatusDebuggerVersion = 207;

}  // namespace statuses

inline constexpr unsigned long kBuildNumber = 20080918;
inline constexpr size_t kMaxAbortString = 256;
inline constexpr size_t kMaxInputPath = 1024;
/// Serial numbers are not negative: this one matches no device.
inline constexpr int32_t kSerialMatchingNone = INT32_MIN;

/// The settings both loaders take from their command line.
struct RunSettings {
  bool quiet = false;
  bool verbose = false;
  bool lap = false;
  bool help = false;
  int print_timeout_s = 0;  // 0: none
  int exec_timeout_s = 0;   // 0: none
  bool has_abort_string = false;
  std::string abort_string;
  bool card_slot = false;
  bool cartridge_slot = false;
  bool has_input = false;
  std::string input_path;
};

enum class OptionCheck {
  kTaken,
  kNotShared,  // not an option of both loaders: the caller's own
  kBadPrintTimeout,
  kBadExecTimeout,
  kBadAbortString,
  kBadCardSlot,
  kBadCartridgeSlot,
};

/// Takes option `option` (its short letter) with `value` (null for a flag)
/// when both loaders have it, checking the value as it is met.
OptionCheck TakeSharedOption(int option, const char* value, RunSettings* settings);

/// The error message for a bad value (status kErrorValue).
const char* OptionCheckMessage(OptionCheck check);

/// An option value without the one "=" that may lead it (so -t=10 means 10).
const char* OptionValue(const char* value);

/// The serial number of `-s`: the C library's conversion; a number beyond 32
/// bits is no device's (kSerialMatchingNone), not "any device".
int32_t ParseSerialNumber(const char* value);

/// The settings echo of verbose mode.
std::string SettingsEcho(const RunSettings& settings, bool from_stdin);

/// Opens the image at `path` for reading; null when the path is longer than
/// kMaxInputPath (refused rather than cut, which could name another file),
/// cannot be opened, or names a folder. With `regular_only`, anything but a
/// regular file is refused before it is opened (so a named pipe never makes
/// it wait): for a device library that reads the image again by its name.
FILE* OpenImage(const std::string& path, bool regular_only = false);

}  // namespace loader
