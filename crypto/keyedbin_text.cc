#include "keyedbin_text.h"

#include <cstdio>

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

}  // namespace keyedbin
