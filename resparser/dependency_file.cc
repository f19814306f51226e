#include "dependency_file.h"

#include <unordered_set>

namespace resparser {

bool AppendMakeName(const std::string& name, std::string* text) {
  if (name.empty() || name.back() == '\\' || name.find_first_of("\r\n") != std::string::npos) return false;
  size_t backslashes = 0;  // just before the current character
  for (char c : name) {
    switch (c) {
      case '$':
        *text += '$';
        break;
      case ' ':
      case '\t':
        // make reads 2N+1 backslashes before a blank as N backslashes and a
        // blank that belongs to the name.
        text->append(backslashes, '\\');
        *text += '\\';
        break;
      case '#':
        *text += '\\';
        break;
      default:
        break;
    }
    backslashes = c == '\\' ? backslashes + 1 : 0;
    *text += c;
  }
  return true;
}

bool DependencyRule(const std::string& target, const std::vector<std::string>& prerequisites, std::string* text,
                    std::string* unwritable) {
  std::string rule;
  if (!AppendMakeName(target, &rule)) {
    *unwritable = target;
    return false;
  }
  rule += ':';
  std::unordered_set<std::string> named;
  for (const std::string& name : prerequisites) {
    if (!named.insert(name).second) continue;  // each file once, where it first stands
    rule += ' ';
    if (!AppendMakeName(name, &rule)) {
      *unwritable = name;
      return false;
    }
  }
  *text = rule + '\n';
  return true;
}

}  // namespace resparser
