#include "arg_buffer.h"

#include <cstdio>
#include <cstring>

namespace argbury {

bool PackString(ArgBuffer* buffer, const char* text) {
  const size_t length = std::strlen(text) + 1;
  if (length > buffer->bytes.size() - buffer->fill) return false;
  std::memcpy(buffer->bytes.data() + buffer->fill, text, length);
  buffer->fill += length;
  return true;
}

const char* FileNameOf(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  return name;
}

std::string FormatDump(const uint8_t* bytes) {
  std::string text;
  char cell[8];
  for (int row = 0; row < 16; ++row) {
    std::snprintf(cell, sizeof cell, "%4x ", row * 16);
    text += cell;
    for (int column = 0; column < 16; ++column) {
      const uint8_t b = bytes[row * 16 + column];
      if (b >= 0x20 && b <= 0x7F) {
        text += static_cast<char>(b);
        text += "  ";
      } else {
        text += b == 0 ? ".  " : "-  ";
      }
    }
    text += '\n';
  }
  return text;
}

}  // namespace argbury
