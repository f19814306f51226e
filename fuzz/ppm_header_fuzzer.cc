// Feeds arbitrary bytes to the converters' PPM header reader, then indexes
// and lays out the pixels of any image it accepts (kept small), in both
// palette capacities.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ppm_image.h"
#include "support/c_text.h"
#include "tile_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  std::vector<uint8_t> copy(data, data + size);  // exact bounds for the sanitizers
  ppm::Header header;
  if (!ppm::ReadHeader(copy.data(), copy.size(), &header)) return 0;
  if (header.data_offset > copy.size()) __builtin_trap();
  if (!ppm::IsConvertible(header) || ppm::PixelBytes(header) > copy.size() - header.data_offset) return 0;
  const int width = static_cast<int>(header.width);
  const int height = static_cast<int>(header.height);
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  const uint8_t* pixels = copy.data() + header.data_offset;
  for (int capacity : {16, 256}) {
    ppm::PaletteTable table(capacity);
    std::vector<uint8_t> indexes(count);
    const size_t indexed = ppm::IndexPixels(pixels, count, &table, indexes.data());
    if (indexed > count || table.count() > capacity) __builtin_trap();
    support::CTextWriter text([](const char*, size_t) { return true; });
    text.AppendValues(indexes.data(), indexed, 0, ppm::ValueLines(2, true, 16));
    if (indexed == count && width % tiles::kTileSide == 0 && height % tiles::kTileSide == 0) {
      std::vector<uint8_t> tiled(tiles::TileBytes(width, height, capacity == 16));
      tiles::ArrangeTiles(indexes.data(), width, height, capacity == 16, tiled.data());
    }
  }
  return 0;
}
