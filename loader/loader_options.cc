#include "loader_options.h"

#include <sys/stat.h>

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

}  // namespace

const char* OptionValue(const char* value) { return value[0] == '=' ? value + 1 : value; }

OptionCheck TakeSharedOption(int option, const char* value, RunSettings* s) {
  switch (option) {
    case 'h':
      s->help = true;
      return OptionCheck::kTaken;
    case 'q':
      s->quiet = true;
      return OptionCheck::kTaken;
    case 'v':
      s->verbose = true;
      return OptionCheck::kTaken;
    case 'l':
      s->lap = true;
      return OptionCheck::kTaken;
    case 't':
      s->print_timeout_s = support::ParseIntPrefix(OptionValue(value));
      return s->print_timeout_s > 0 ? OptionCheck::kTaken : OptionCheck::kBadPrintTimeout;
    case 'T':
      s->exec_timeout_s = support::ParseIntPrefix(OptionValue(value));
      return s->exec_timeout_s > 0 ? OptionCheck::kTaken : OptionCheck::kBadExecTimeout;
    case 'a': {
      const char* text = OptionValue(value);
      const size_t length = std::strlen(text);
      if (length == 0 || length > kMaxAbortString) return OptionCheck::kBadAbortString;
      s->has_abort_string = true;
      s->abort_string = text;
      return OptionCheck::kTaken;
    }
    case 'c':
      return ParseSwitch(OptionValue(value), &s->card_slot) ? OptionCheck::kTaken : OptionCheck::kBadCardSlot;
    case 'C':
      return ParseSwitch(OptionValue(value), &s->cartridge_slot) ? OptionCheck::kTaken
                                                                 : OptionCheck::kBadCartridgeSlot;
    default:
      return OptionCheck::kNotShared;
  }
}

const char* OptionCheckMessage(OptionCheck check) {
  switch (check) {
    case OptionCheck::kBadPrintTimeout:
      return "illegal value for abort timeout option.";
    case OptionCheck::kBadExecTimeout:
      return "illegal value for abort exec timeout option.";
    case OptionCheck::kBadAbortString:
      return "illegal value for abort string option.";
    case OptionCheck::kBadCardSlot:
      return "illegal value for card slot option.";
    case OptionCheck::kBadCartridgeSlot:
      return "illegal value for cartridge slot option.";
    case OptionCheck::kTaken:
    case OptionCheck::kNotShared:
      break;
  }
  return "unknown option.";
}

int32_t ParseSerialNumber(const char* value) {
  bool out_of_range = false;
  const int32_t number = support::ParseIntPrefix(OptionValue(value), &out_of_range);
  return out_of_range ? kSerialMatchingNone : number;
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

FILE* OpenImage(const std::string& path, bool regular_only) {
  if (path.size() > kMaxInputPath) return nullptr;
  struct stat st;
  if (regular_only && (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))) return nullptr;
  FILE* input = std::fopen(path.c_str(), "rb");
  if (input == nullptr) return nullptr;
  // A folder opens but is no image; what was checked by name must still hold.
  if (fstat(fileno(input), &st) != 0 || S_ISDIR(st.st_mode) || (regular_only && !S_ISREG(st.st_mode))) {
    std::fclose(input);
    return nullptr;
  }
  return input;
}

}  // namespace loader
