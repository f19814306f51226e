#include "loader_options.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "support/format_text.h"
#include "support/text_parse.h"

namespace loader {
namespace {

bool ParseSwitch(const char* value, bool* on) {
  if (std::strcmp(value, "ON") == 0 || std::strcmp(value, "on") == 0) {
    *on = true;
    return true;
  }
  if (std::strcmp(value, "OFF") == 0 || std::strcmp(value, "off") == 0) {
    *on = false;
    return true;
  }
  return false;
}

// A number as the C library's conversion reads it (leading blanks, a sign,
// digits), and nothing after it: "10s", "1.5" or "0x10" would otherwise be
// read as another number than the one meant, or as 0.
bool IsWholeNumber(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  if (*text == '+' || *text == '-') ++text;
  if (*text < '0' || *text > '9') return false;
  while (*text >= '0' && *text <= '9') ++text;
  return *text == '\0';
}

// A time-out in seconds: a whole number above 0.
bool ParseSeconds(const char* value, int* seconds) {
  *seconds = IsWholeNumber(value) ? support::ParseIntPrefix(value) : 0;
  return *seconds > 0;
}

// A serial number beyond 32 bits is no device's (kSerialMatchingNone), not
// "any device".
bool ParseSerial(const char* value, SerialWanted* serial) {
  if (!IsWholeNumber(value)) return false;
  bool out_of_range = false;
  const int32_t number = support::ParseIntPrefix(value, &out_of_range);
  serial->number = out_of_range ? kSerialMatchingNone : number;
  serial->text.assign(value, std::min(std::strlen(value), kMaxSerialText));
  return true;
}

bool ParseAbortString(const char* text, RunSettings* s) {
  const size_t length = std::strlen(text);
  if (length == 0 || length > kMaxAbortString) return false;
  s->has_abort_string = true;
  s->abort_string = text;
  return true;
}

// The flags both loaders have.
constexpr struct {
  int option;
  bool RunSettings::*flag;
} kFlags[] = {{'h', &RunSettings::help}, {'q', &RunSettings::quiet}, {'v', &RunSettings::verbose},
              {'l', &RunSettings::lap}};

// The options with a value both loaders have: the value's check (as the
// value is met) and the message when it fails.
struct ValueOption {
  int option;
  bool (*take)(const char* value, RunSettings* s);
  const char* message;
};
constexpr ValueOption kValueOptions[] = {
    {'s', [](const char* v, RunSettings* s) { return ParseSerial(v, &s->serial); },
     "illegal value for serial option."},
    {'t', [](const char* v, RunSettings* s) { return ParseSeconds(v, &s->print_timeout_s); },
     "illegal value for abort timeout option."},
    {'T', [](const char* v, RunSettings* s) { return ParseSeconds(v, &s->exec_timeout_s); },
     "illegal value for abort exec timeout option."},
    {'a', ParseAbortString, "illegal value for abort string option."},
    {'c', [](const char* v, RunSettings* s) { return ParseSwitch(v, &s->card_slot); },
     "illegal value for card slot option."},
    {'C', [](const char* v, RunSettings* s) { return ParseSwitch(v, &s->cartridge_slot); },
     "illegal value for cartridge slot option."},
};

// Takes an option both loaders have; kGoOn, or the error status (message
// printed).
int TakeSharedOption(int option, const char* value, RunSettings* s, const Reporter& reporter) {
  for (const auto& flag : kFlags) {
    if (flag.option == option) return SetFlag(&(s->*flag.flag));
  }
  for (const ValueOption& v : kValueOptions) {
    if (v.option == option) return v.take(OptionValue(value), s) ? kGoOn : reporter.Fail(v.message, kErrorValue);
  }
  return reporter.Fail("unknown option.", kErrorOption);
}

}  // namespace

const char* OptionValue(const char* value) { return value[0] == '=' ? value + 1 : value; }

std::vector<option> LongOptions(std::initializer_list<option> own) {
  // The long names of the options both loaders have, each with its letter.
  static constexpr const char* kFlags[] = {"help", "quiet", "verbose", "list", "lap", "debug"};
  static constexpr char kFlagLetters[] = "hqvLlD";
  static constexpr const char* kValues[] = {"type",         "serial",    "timeout",       "exec-timeout",
                                            "abort-string", "card-slot", "cartridge-slot"};
  static constexpr char kValueLetters[] = "dstTacC";
  std::vector<option> options;
  for (size_t i = 0; i < std::size(kFlags); ++i) options.push_back({kFlags[i], no_argument, nullptr, kFlagLetters[i]});
  for (size_t i = 0; i < std::size(kValues); ++i) {
    options.push_back({kValues[i], required_argument, nullptr, kValueLetters[i]});
  }
  options.insert(options.end(), own);
  options.push_back({nullptr, 0, nullptr, 0});
  return options;
}

int SetFlag(bool* flag) {
  *flag = true;
  return kGoOn;
}

int TakeKind(int kind, int* kind_filter, const Reporter& reporter) {
  *kind_filter = kind;
  return kind != 0 ? kGoOn : reporter.Fail("illegal device type.", kErrorValue);
}

int ScanOptions(int argc, char** argv, const char* short_options, const std::vector<option>& long_options,
                const Reporter& reporter, void (*print_usage)(), RunSettings* settings, const OwnOptions& own) {
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, short_options, long_options.data(), nullptr)) != -1) {
    int status = own(c, optarg);
    if (status == kNotOwnOption) status = TakeSharedOption(c, optarg, settings, reporter);
    if (status != kGoOn) return status;
  }
  if (optind < argc) {
    settings->has_input = true;
    settings->input_path = argv[optind];
  }
  // Help is acted on only after the scan, so a bad value still wins.
  if (settings->help || settings->has_input == settings->from_stdin) {
    print_usage();
    return kStatusUsage;
  }
  return kGoOn;
}

int ShowVersion(const Reporter& reporter) {
  reporter.Write(std::string(reporter.tool_name()) + " Build " + std::to_string(kBuildNumber) + "\n");
  return kStatusVersion;
}

std::string SettingsEcho(const RunSettings& s) {
  std::string echo = s.from_stdin ? "Input file is stdin\n" : "Input file is [" + s.input_path + "]\n";
  echo += "Print time out : " + std::to_string(s.print_timeout_s) + " sec.\n";
  echo += "Execute time out : " + std::to_string(s.exec_timeout_s) + " sec.\n";
  echo += std::string("Card lock : ") + (s.card_slot ? "ON" : "OFF") + ".\n";
  echo += std::string("Cartridge lock : ") + (s.cartridge_slot ? "ON" : "OFF") + ".\n";
  if (s.has_abort_string) echo += "Abort string : [" + s.abort_string + "]\n";
  return echo;
}

std::string InputSizeLine(uint64_t size) {
  return support::FormatText("\nInput file size: %d (0x%x) byte\n", static_cast<int>(size), static_cast<unsigned>(size));
}

bool OpenImage(const std::string& path, support::File::Mode mode, support::File* image) {
  if (path.size() > kMaxInputPath) return false;
  return image->Open(path, mode) == support::File::OpenStatus::kOk;
}

}  // namespace loader
