#include "tile_data.h"

#include <vector>

namespace tiles {

void ArrangeTiles(const uint8_t* indexes, int width, int height, bool four_bit, uint8_t* out) {
  const size_t w = static_cast<size_t>(width);
  for (int ty = 0; ty < height; ty += kTileSide) {
    for (int tx = 0; tx < width; tx += kTileSide) {
      for (int y = ty; y < ty + kTileSide; ++y) {
        const uint8_t* row = indexes + w * static_cast<size_t>(y) + static_cast<size_t>(tx);
        if (four_bit) {
          for (int x = 0; x < kTileSide; x += 2) *out++ = static_cast<uint8_t>((row[x] & 0x0F) | row[x + 1] << 4);
        } else {
          for (int x = 0; x < kTileSide; ++x) *out++ = row[x];
        }
      }
    }
  }
}

int EvenPaletteCount(const ppm::PaletteTable& table) { return (table.count() + 1) & ~1; }

std::string BinaryPalette(const ppm::PaletteTable& table, int count) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(count) * 2);
  for (int i = 0; i < count; ++i) {
    const uint16_t v = table.Entry(i);
    bytes += static_cast<char>(v & 0xFF);
    bytes += static_cast<char>(v >> 8);
  }
  return bytes;
}

void WriteCPalette(const std::string& label, const ppm::PaletteTable& table, int count,
                   support::CTextWriter* out) {
  std::vector<uint16_t> entries(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) entries[static_cast<size_t>(i)] = table.Entry(i);
  out->Append("const int Num_" + label + "_Palette = " + std::to_string(count) + ";\n\n");
  out->Append("const unsigned short " + label + "_Palette[] =\n{\n");
  out->AppendValues(entries.data(), entries.size(), 0, ppm::ValueLines(4, true, 8));
  out->Append("\n};\n\n");
}

void WriteCTexel(const std::string& label, int width, int height, const uint8_t* bytes, size_t size,
                 support::CTextWriter* out) {
  out->Append("const int Num_" + label + "_Texel = " + std::to_string(width) + " * " + std::to_string(height) +
              ";\n\n");
  out->Append("const unsigned char " + label + "_Texel[] =\n{\n");
  out->AppendValues(bytes, size, 0, ppm::ValueLines(2, true, 16));
  out->Append("\n};\n\n");
}

}  // namespace tiles
