// What the command lines of both loaders share: the options and value rules
// they have in common, the settings echo and the opening of the image.
#pragma once

#include <getopt.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "loader_finish.h"
#include "support/platform.h"

namespace loader {

inline constexpr unsigned long kBuildNumber = 20080918;
inline constexpr size_t kMaxAbortString = 256;
inline constexpr size_t kMaxInputPath = 1024;
inline constexpr size_t kMaxSerialText = 255;
/// Serial number setting that means "not given" (the largest value).
inline constexpr int32_t kSerialNotGiven = 0x7FFFFFFF;
/// Serial numbers are not negative: this one matches no device.
inline constexpr int32_t kSerialMatchingNone = INT32_MIN;

/// The serial number wanted: the number (kSerialNotGiven: any) and the text
/// as given, whose end may name a second-generation device.
struct SerialWanted {
  int32_t number = kSerialNotGiven;
  std::string text;
};

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
  SerialWanted serial;
  bool has_input = false;
  std::string input_path;
  /// The image comes from standard input (first generation only).
  bool from_stdin = false;
};

/// The long options both loaders have, followed by `own` and the closing
/// entry, for getopt_long.
std::vector<option> LongOptions(std::initializer_list<option> own);

/// A generation's own options: returns kGoOn when it took `option` (with
/// `value`, null for a flag), kNotOwnOption when the option is not its own,
/// else the status that ends the scan (message printed, or a query's).
using OwnOptions = std::function<int(int option, const char* value)>;
inline constexpr int kNotOwnOption = INT_MIN + 1;

/// Scans the command line in order with getopt_long (its own diagnostics
/// off), giving each option to `own` first and then to the options both
/// loaders share, whose values are checked as they are met; then takes the
/// first operand as the image's path. Returns kGoOn when a run is due; the
/// status of the option that ended the scan ("unknown option." for one of
/// neither); or, after `print_usage`, kStatusUsage when help was asked, the
/// image has no path, or a path comes with standard input.
int ScanOptions(int argc, char** argv, const char* short_options, const std::vector<option>& long_options,
                const Reporter& reporter, void (*print_usage)(), RunSettings* settings, const OwnOptions& own);

/// Sets `*flag`; kGoOn.
int SetFlag(bool* flag);

/// Takes the kind number of a `-d` name (0: not a kind): kGoOn, or the
/// error status after "illegal device type.".
int TakeKind(int kind, int* kind_filter, const Reporter& reporter);

/// Prints the version line of `--version`; returns kStatusVersion.
int ShowVersion(const Reporter& reporter);

/// An option value without the one "=" that may lead it (so -t=10 means 10).
const char* OptionValue(const char* value);

/// The settings echo of verbose mode.
std::string SettingsEcho(const RunSettings& settings);

/// The image's size line of verbose mode.
std::string InputSizeLine(uint64_t size);

/// Opens the image at `path` in `mode`; false when the path is longer than
/// kMaxInputPath (refused rather than cut, which could name another file),
/// names a folder or cannot be opened in that mode.
bool OpenImage(const std::string& path, support::File::Mode mode, support::File* image);

}  // namespace loader
