#include "c_array_text.h"

#include <cstdio>
#include <vector>

namespace crypto {
namespace {

constexpr size_t kChunk = size_t{1} << 20;
constexpr char kHexDigits[] = "0123456789ABCDEF";

char* PutHex(char* p, uint32_t value, int digits) {
  *p++ = '0';
  *p++ = 'x';
  for (int d = digits - 1; d >= 0; --d) *p++ = kHexDigits[(value >> (4 * d)) & 0xF];
  *p++ = ',';
  return p;
}

}  // namespace

bool WriteCArrayText(const uint8_t* data, size_t size, int width, const std::string& identifier,
                     const TextSink& sink) {
  const size_t w = static_cast<size_t>(width);
  const size_t count = size / w;
  char head[96];
  std::snprintf(head, sizeof head, "#include <dravo.h>\n\nconst u%d ", 8 * width);
  std::string text = head;
  text += identifier;
  std::snprintf(head, sizeof head, "[0x%lX] = {", static_cast<unsigned long>(count));
  text += head;
  if (!sink(text.data(), text.size())) return false;

  // A line holds 16 elements of u8 and 8 of u16 or u32.
  const size_t per_line = width == 1 ? 16 : 8;
  const int digits = 2 * width;
  const size_t element_chars = static_cast<size_t>(digits) + 3;
  std::vector<char> buffer(kChunk + 64);
  char* const start = buffer.data();
  char* p = start;
  for (size_t i = 0; i < count; ++i) {
    if (i % per_line == 0) *p++ = '\n';
    const uint8_t* e = data + i * w;
    uint32_t value = e[0];
    if (width >= 2) value |= static_cast<uint32_t>(e[1]) << 8;
    if (width == 4) value |= static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[3]) << 24;
    p = PutHex(p, value, digits);
    if (static_cast<size_t>(p - start) + element_chars + 1 > kChunk) {
      if (!sink(start, static_cast<size_t>(p - start))) return false;
      p = start;
    }
  }
  static const char kTail[] = "\n};\n";
  for (const char* t = kTail; *t != '\0'; ++t) *p++ = *t;
  return sink(start, static_cast<size_t>(p - start));
}

}  // namespace crypto
