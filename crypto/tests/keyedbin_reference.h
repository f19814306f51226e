// keyedbin's C array written the plain way, one formatted print per
// element: the yardstick for the C-text writer and for the tool's output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace keyedbin_reference {

/// The text, one formatted print per element.
inline std::string LiteralText(const std::vector<uint8_t>& out, int width, const std::string& identifier) {
  std::string text = "#include <dravo.h>\n\n";
  const size_t count = out.size() / static_cast<size_t>(width);
  char buf[64];
  std::snprintf(buf, sizeof buf, "const u%d ", 8 * width);
  text += buf;
  text += identifier;
  std::snprintf(buf, sizeof buf, "[0x%lX] = {", static_cast<unsigned long>(count));
  text += buf;
  const size_t step = width == 1 ? 1 : 2;
  for (size_t i = 0; i < count; ++i) {
    if ((i * step) % 16 == 0) text += '\n';
    const uint8_t* p = out.data() + i * static_cast<size_t>(width);
    const unsigned long v =
        width == 1 ? p[0]
        : width == 2
            ? static_cast<unsigned long>(p[0] | p[1] << 8)
            : static_cast<unsigned long>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    std::snprintf(buf, sizeof buf, "0x%0*lX,", 2 * width, v);
    text += buf;
  }
  text += "\n};\n";
  return text;
}

}  // namespace keyedbin_reference
