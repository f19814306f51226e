#include "ppm_reference.h"

#include <cstdio>

// The reference prints with the very formats that define the outputs.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

namespace ppm_reference {

namespace {

uint16_t Pack(const uint8_t* p) {
  return static_cast<uint16_t>(0x8000 | (p[2] >> 3) << 10 | (p[1] >> 3) << 5 | (p[0] >> 3));
}

std::string Print(const char* format, unsigned value) {
  char text[32];
  snprintf(text, sizeof text, format, value);
  return text;
}

std::string Print(const char* format, const std::string& text, int a, int b, int c) {
  std::vector<char> out(text.size() + 128);
  snprintf(out.data(), out.size(), format, text.c_str(), a, b, c);
  return out.data();
}

}  // namespace

int Lookup(std::vector<uint16_t>* palette, int capacity, uint16_t color) {
  for (size_t i = 0; i < palette->size(); ++i) {
    if ((*palette)[i] == color) return static_cast<int>(i);
  }
  if (static_cast<int>(palette->size()) >= capacity) return -1;
  palette->push_back(color);
  return static_cast<int>(palette->size()) - 1;
}

std::string ValueLines(const std::vector<unsigned>& values, int per_line, const char* format) {
  std::string out;
  int column = 0;
  for (unsigned v : values) {
    if (column == 0) out += "\t";
    out += Print(format, v);
    if (++column == per_line) {
      out += "\n";
      column = 0;
    }
  }
  return out;
}

std::string Huecast(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  std::string out = Print("\t/* %s: WIDTH=%d HEIGHT=%d DEPTH=%d */\n", path, width, height, 255);
  std::vector<unsigned> values;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) values.push_back(Pack(&rgb[i]));
  return out + ValueLines(values, 16, "0x%04x,");
}

std::string Huemap(const std::string& path, const std::string& label, int width, int height,
                   const std::vector<uint8_t>& rgb, bool* overflow) {
  std::string out = Print("const unsigned char %s_Texel[%d * %d] =\n{\n", label, width, height, 0);
  out += Print("\t/* %s: WIDTH=%d HEIGHT=%d DEPTH=%d */\n", path, width, height, 255);
  std::vector<uint16_t> palette;
  std::vector<unsigned> indexes;
  *overflow = false;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    const int index = Lookup(&palette, 256, Pack(&rgb[i]));
    if (index < 0) {
      *overflow = true;
      return out + ValueLines(indexes, 16, "0x%02x, ");
    }
    indexes.push_back(static_cast<unsigned>(index));
  }
  out += ValueLines(indexes, 16, "0x%02x, ") + "\n};\n\n";
  out += Print("const unsigned short %s_Palette[%d] =\n{\n", label, 256, 0, 0);
  std::vector<unsigned> entries(256, 0);
  for (size_t i = 0; i < palette.size(); ++i) entries[i] = palette[i];
  return out + ValueLines(entries, 16, "0x%04x, ") + "\n};\n\n";
}

std::string Huetile(const std::string& label, int capacity, int parts, int width, int height,
                    const std::vector<uint8_t>& rgb) {
  std::vector<uint16_t> palette;
  std::vector<uint8_t> index(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t i = 0; i < index.size(); ++i) {
    const int found = Lookup(&palette, capacity, Pack(&rgb[3 * i]));
    if (found < 0) return "";
    index[i] = static_cast<uint8_t>(found);
  }
  if (palette.size() % 2 != 0) palette.push_back(0);
  std::vector<unsigned> bytes;
  for (int ty = 0; ty < height; ty += 8) {
    for (int tx = 0; tx < width; tx += 8) {
      for (int y = ty; y < ty + 8; ++y) {
        for (int x = tx; x < tx + 8; ++x) {
          const int pos = width * y + x;
          if (capacity == 256) {
            bytes.push_back(index[static_cast<size_t>(pos)]);
          } else if (pos % 2 == 1) {
            bytes.push_back((index[static_cast<size_t>(pos) - 1] & 0x0F) | index[static_cast<size_t>(pos)] << 4);
          }
        }
      }
    }
  }
  std::string out;
  if (label.empty()) {
    if (parts & 1) {
      for (uint16_t v : palette) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8);
      }
    }
    if (parts & 2) {
      for (unsigned b : bytes) out += static_cast<char>(b);
    }
    return out;
  }
  if (parts & 1) {
    out += Print("const int Num_%s_Palette = %d;\n\n", label, static_cast<int>(palette.size()), 0, 0);
    out += Print("const unsigned short %s_Palette[] =\n{\n", label, 0, 0, 0);
    out += ValueLines(std::vector<unsigned>(palette.begin(), palette.end()), 8, "0x%04x, ") + "\n};\n\n";
  }
  if (parts & 2) {
    out += Print("const int Num_%s_Texel = %d * %d;\n\n", label, width, height, 0);
    out += Print("const unsigned char %s_Texel[] =\n{\n", label, 0, 0, 0);
    out += ValueLines(bytes, 16, "0x%02x, ") + "\n};\n\n";
  }
  return out;
}

}  // namespace ppm_reference
