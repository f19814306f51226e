#include "keyedbin_text.h"

#include <cstdio>
#include <cstring>

namespace keyedbin {

std::string ArrayHead(int width, const std::string& identifier, size_t count) {
  char text[64];
  std::snprintf(text, sizeof text, "#include <dravo.h>\n\nconst u%d ", 8 * width);
  std::string head = text;
  head += identifier;
  std::snprintf(text, sizeof text, "[0x%lX] = {", static_cast<unsigned long>(count));
  return head + text;
}

support::HexLayout ArrayLayout(int width) {
  support::HexLayout layout;
  layout.digits = 2 * width;
  layout.upper_case = true;
  layout.per_line = width == 1 ? 16 : 8;
  layout.line_open = "\n";
  return layout;
}

bool IsCIdentifier(const std::string& name) {
  // The keywords of C99 and C11.
  static const char* const kKeywords[] = {
      "auto",     "break",    "case",     "char",       "const",         "continue",  "default",
      "do",       "double",   "else",     "enum",       "extern",        "float",     "for",
      "goto",     "if",       "inline",   "int",        "long",          "register",  "restrict",
      "return",   "short",    "signed",   "sizeof",     "static",        "struct",    "switch",
      "typedef",  "union",    "unsigned", "void",       "volatile",      "while",     "_Alignas",
      "_Alignof", "_Atomic",  "_Bool",    "_Complex",   "_Generic",      "_Imaginary", "_Noreturn",
      "_Static_assert",       "_Thread_local",
  };
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (name.empty() || !letter(name[0])) return false;
  for (char c : name) {
    if (!letter(c) && !(c >= '0' && c <= '9')) return false;
  }
  for (const char* keyword : kKeywords) {
    if (name == keyword) return false;
  }
  return true;
}

}  // namespace keyedbin
