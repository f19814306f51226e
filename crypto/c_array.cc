#include "c_array.h"

#include <cstdio>

#include "support/byte_order.h"

namespace rc4text {

std::string FormatCArray(const std::vector<uint8_t>& bytes, int width, const std::string& identifier) {
  std::string text = "#include <dravo.h>\n\n";
  const size_t count = bytes.size() / static_cast<size_t>(width);
  char buf[64];
  snprintf(buf, sizeof buf, "const u%d ", 8 * width);
  text += buf;
  text += identifier;
  snprintf(buf, sizeof buf, "[0x%lX] = {", static_cast<unsigned long>(count));
  text += buf;
  text.reserve(text.size() + count * (static_cast<size_t>(width) * 2 + 4) + count / 8 + 8);
  const size_t step = width == 1 ? 1 : 2;
  for (size_t i = 0; i < count; ++i) {
    if ((i * step) % 16 == 0) text += '\n';
    const uint8_t* p = bytes.data() + i * static_cast<size_t>(width);
    switch (width) {
      case 1:
        snprintf(buf, sizeof buf, "0x%02X,", p[0]);
        break;
      case 2:
        snprintf(buf, sizeof buf, "0x%04X,", static_cast<unsigned>(support::LoadLe16(p)));
        break;
      default:
        snprintf(buf, sizeof buf, "0x%08lX,", static_cast<unsigned long>(support::LoadLe32(p)));
        break;
    }
    text += buf;
  }
  text += "\n};\n";
  return text;
}

}  // namespace rc4text
