#include "sim/sim_script.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace sim_script {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool ParseUnsigned(const std::string& text, int base, unsigned long long* value) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || std::isspace(static_cast<unsigned char>(text[0]))) {
    return false;
  }
  char* end = nullptr;
  *value = std::strtoull(text.c_str(), &end, base);
  return *end == '\0';
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

bool Unescape(const std::string& in, std::string* out) {
  static constexpr struct {
    char letter;
    char byte;
  } kEscapes[] = {{'n', '\n'}, {'r', '\r'}, {'t', '\t'}, {'\\', '\\'}};
  out->clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out->push_back(in[i]);
      continue;
    }
    if (++i == in.size()) return false;
    unsigned long long v = 0;
    if (in[i] == 'x') {
      if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
          !std::isxdigit(static_cast<unsigned char>(in[i + 2])) || !ParseUnsigned(in.substr(i + 1, 2), 16, &v)) {
        return false;
      }
      out->push_back(static_cast<char>(v));
      i += 2;
      continue;
    }
    const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                      [&](const auto& e) { return e.letter == in[i]; });
    if (escape == std::end(kEscapes)) return false;
    out->push_back(escape->byte);
  }
  return true;
}

std::string ExitLine(const std::string& status) { return kExitPrefix + status + ")\n"; }

namespace {

// "print A [B] TEXT": the address numbers, then everything after one space.
bool ParsePrint(const std::string& rest, const ScriptFormat& format, ScriptItem* item) {
  size_t pos = 0;
  for (unsigned limit : format.address_limits) {
    const size_t gap = rest.find(' ', pos);
    if (gap == std::string::npos) return false;
    unsigned long long value = 0;
    if (!ParseUnsigned(rest.substr(pos, gap - pos), 10, &value) || value > limit) return false;
    item->address.push_back(static_cast<unsigned>(value));
    pos = gap + 1;
  }
  return Unescape(rest.substr(pos), &item->text) && !item->text.empty();
}

}  // namespace

bool ReadScript(const std::string& path, const ScriptFormat& format, std::vector<ScriptItem>* items,
                std::string* problem) {
  items->clear();
  std::ifstream script(path);
  if (!script) {
    *problem = "cannot read script " + path;
    return false;
  }
  long long due_ms = 0;
  bool before_go = false;
  if (format.allow_go) {
    // Only a script with a go line prints anything before it.
    std::string line;
    while (std::getline(script, line)) {
      if (line == "go" || line == "go\r") before_go = true;
    }
    script.clear();
    script.seekg(0);
  }
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    ScriptItem item;
    item.before_go = before_go;
    bool ok = true;
    if (command == "wait") {
      unsigned long long value = 0;
      ok = ParseUnsigned(rest, 10, &value) && value <= 3600000;
      due_ms += static_cast<long long>(value);
    } else if (command == "print") {
      item.kind = ScriptItem::kPrint;
      ok = ParsePrint(rest, format, &item);
    } else if (command == "args" && rest.empty()) {
      item.kind = ScriptItem::kArgs;
    } else if (command == "exit") {
      item.kind = ScriptItem::kExit;
      item.text = rest;
    } else if (command == "go" && format.allow_go && rest.empty() && before_go) {
      before_go = false;
      due_ms = 0;
      continue;
    } else {
      ok = false;
    }
    if (!ok) {
      *problem = path + ":" + std::to_string(number) + ": cannot understand '" + line + "'";
      items->clear();
      return false;
    }
    if (command == "wait") continue;
    item.due_ms = due_ms;
    items->push_back(item);
  }
  return true;
}

void CallLog::Add(const char* format, ...) {
  if (path_.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  FILE* f = std::fopen(path_.c_str(), "a");
  if (f == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(f, format, args);
  va_end(args);
  std::fputc('\n', f);
  std::fclose(f);
}

}  // namespace sim_script
