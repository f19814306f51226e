// huetile's data: palette indexes walked in 8 x 8 tiles, 4-bit packing, and
// the palette and index blocks as binary data or C source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ppm_image.h"
#include "support/c_text.h"

namespace tiles {

constexpr int kTileSide = 8;

/// Bytes of index data for a `width` x `height` image.
inline size_t TileBytes(int width, int height, bool four_bit) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  return four_bit ? pixels / 2 : pixels;
}

/// Writes the TileBytes() index bytes of `indexes` (one per pixel, rows top
/// to bottom) into `out`: tile rows from the top, tiles from the left, and
/// in each tile pixel rows from the top and pixels from the left. In 4-bit
/// mode each byte holds two neighbours, the left one in the low nibble. Both
/// sides must be multiples of kTileSide.
void ArrangeTiles(const uint8_t* indexes, int width, int height, bool four_bit, uint8_t* out);

/// The palette's entries, raised to an even count with a 0x0000 entry.
int EvenPaletteCount(const ppm::PaletteTable& table);

/// The palette (`count` entries) as 16-bit little-endian words.
std::string BinaryPalette(const ppm::PaletteTable& table, int count);

/// The C source palette block: its count, then the entries in lines of 8.
void WriteCPalette(const std::string& label, const ppm::PaletteTable& table, int count,
                   support::CTextWriter* out);

/// The C source index block for a `width` x `height` image: its count, then
/// the `size` bytes in lines of 16.
void WriteCTexel(const std::string& label, int width, int height, const uint8_t* bytes, size_t size,
                 support::CTextWriter* out);

}  // namespace tiles
