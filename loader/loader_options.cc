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

int TakeSharedOption(int option, const char* value, RunSettings* s, const Reporter& reporter) {
  const char* message = nullptr;
  switch (option) {
    case 'h':
      s->help = true;
      return kGoOn;
    case 'q':
      s->quiet = true;
      return kGoOn;
    case 'v':
      s->verbose = true;
      return kGoOn;
    case 'l':
      s->lap = true;
      return kGoOn;
    case 's':
      if (ParseSerial(OptionValue(value), &s->serial)) return kGoOn;
      message = "illegal value for serial option.";
      break;
    case 't':
      if (ParseSeconds(OptionValue(value), &s->print_timeout_s)) return kGoOn;
      message = "illegal value for abort timeout option.";
      break;
    case 'T':
      if (ParseSeconds(OptionValue(value), &s->exec_timeout_s)) return kGoOn;
      message = "illegal value for abort exec timeout option.";
      break;
    case 'a': {
      const char* text = OptionValue(value);
      const size_t length = std::strlen(text);
      if (length > 0 && length <= kMaxAbortString) {
        s->has_abort_string = true;
        s->abort_string = text;
        return kGoOn;
      }
      message = "illegal value for abort string option.";
      break;
    }
    case 'c':
      if (ParseSwitch(OptionValue(value), &s->card_slot)) return kGoOn;
      message = "illegal value for card slot option.";
      break;
    case 'C':
      if (ParseSwitch(OptionValue(value), &s->cartridge_slot)) return kGoOn;
      message = "illegal value for cartridge slot option.";
      break;
    default:
      return reporter.Fail("unknown option.", kErrorOption);
  }
  return reporter.Fail(message, kErrorValue);
}

int ShowVersion(const Reporter& reporter) {
  reporter.Write(std::string(reporter.tool_name()) + " Build " + std::to_string(kBuildNumber) + "\n");
  return kStatusVersion;
}

void TakeOperand(int argc, char** argv, int first_operand, RunSettings* s) {
  if (first_operand >= argc) return;
  s->has_input = true;
  s->input_path = argv[first_operand];
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
