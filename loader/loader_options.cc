#include "loader_options.h"

#include <algorithm>
#include <cstring>

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

// Takes an option both loaders have; kGoOn, or the error status (message
// printed).
int TakeSharedOption(int option, const char* value, RunSettings* s, const Reporter& reporter) {
  bool taken = true;
  switch (option) {
    case 'h':
      return SetFlag(&s->help);
    case 'q':
      return SetFlag(&s->quiet);
    case 'v':
      return SetFlag(&s->verbose);
    case 'l':
      return SetFlag(&s->lap);
    case 's':
      taken = ParseSerial(OptionValue(value), &s->serial);
      break;
    case 't':
      taken = ParseSeconds(OptionValue(value), &s->print_timeout_s);
      break;
    case 'T':
      taken = ParseSeconds(OptionValue(value), &s->exec_timeout_s);
      break;
    case 'a':
      taken = ParseAbortString(OptionValue(value), s);
      break;
    case 'c':
      taken = ParseSwitch(OptionValue(value), &s->card_slot);
      break;
    case 'C':
      taken = ParseSwitch(OptionValue(value), &s->cartridge_slot);
      break;
    default:
      return reporter.Fail("unknown option.", kErrorOption);
  }
  if (taken) return kGoOn;
  static constexpr struct {
    int option;
    const char* message;
  } kValueMessages[] = {
      {'s', "illegal value for serial option."},
      {'t', "illegal value for abort timeout option."},
      {'T', "illegal value for abort exec timeout option."},
      {'a', "illegal value for abort string option."},
      {'c', "illegal value for card slot option."},
      {'C', "illegal value for cartridge slot option."},
  };
  for (const auto& entry : kValueMessages) {
    if (entry.option == option) return reporter.Fail(entry.message, kErrorValue);
  }
  return reporter.Fail("unknown option.", kErrorOption);
}

}  // namespace

const char* OptionValue(const char* value) { return value[0] == '=' ? value + 1 : value; }

std::vector<option> LongOptions(std::initializer_list<option> own) {
  std::vector<option> options = {
      {"help", no_argument, nullptr, 'h'},
      {"quiet", no_argument, nullptr, 'q'},
      {"verbose", no_argument, nullptr, 'v'},
      {"list", no_argument, nullptr, 'L'},
      {"lap", no_argument, nullptr, 'l'},
      {"debug", no_argument, nullptr, 'D'},
      {"type", required_argument, nullptr, 'd'},
      {"serial", required_argument, nullptr, 's'},
      {"timeout", required_argument, nullptr, 't'},
      {"exec-timeout", required_argument, nullptr, 'T'},
      {"abort-string", required_argument, nullptr, 'a'},
      {"card-slot", required_argument, nullptr, 'c'},
      {"cartridge-slot", required_argument, nullptr, 'C'},
  };
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
                const Reporter& reporter, RunSettings* settings, const OwnOptions& own) {
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
  return kGoOn;
}

int ShowVersion(const Reporter& reporter) {
  reporter.Write(std::string(reporter.tool_name()) + " Build " + std::to_string(kBuildNumber) + "\n");
  return kStatusVersion;
}

std::string SettingsEcho(const RunSettings& s, bool from_stdin) {
  std::string echo = from_stdin ? "Input file is stdin\n" : "Input file is [" + s.input_path + "]\n";
  echo += "Print time out : " + std::to_string(s.print_timeout_s) + " sec.\n";
  echo += "Execute time out : " + std::to_string(s.exec_timeout_s) + " sec.\n";
  echo += std::string("Card lock : ") + (s.card_slot ? "ON" : "OFF") + ".\n";
  echo += std::string("Cartridge lock : ") + (s.cartridge_slot ? "ON" : "OFF") + ".\n";
  if (s.has_abort_string) echo += "Abort string : [" + s.abort_string + "]\n";
  return echo;
}

bool OpenImage(const std::string& path, support::File::Mode mode, support::File* image) {
  if (path.size() > kMaxInputPath) return false;
  return image->Open(path, mode) == support::File::OpenStatus::kOk;
}

}  // namespace loader
