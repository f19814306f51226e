#include "keyedbin_text.h"

#include "support/format_text.h"

namespace keyedbin {

std::string ArrayHead(int width, const std::string& identifier, size_t count) {
  return support::FormatText("#include <dravo.h>\n\nconst u%d %s[0x%lX] = {", 8 * width, identifier.c_str(),
                             static_cast<unsigned long>(count));
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
