// A small decoder of the console's texture data, independent of the texture
// object: it reads only the bytes that the writer produced, as the console
// would, so a preview made from it shows what the console shows.
#pragma once

#include <cstdint>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_image_loader.h"

namespace kelvane_example {

/// The three data blocks of a texture, as written by Kelvane::CMvx.
struct TextureData {
  Kelvane::CTexture::tType type = Kelvane::CTexture::TYPE_NONE;
  unsigned int width = 0;
  unsigned int height = 0;
  std::vector<unsigned char> texel;
  std::vector<unsigned char> palette;
  std::vector<unsigned char> palette_index;
};

/// Decodes every texel's colour into `image` and whether it is transparent
/// into `transparent` (one byte per texel, 1 = transparent): alpha below half
/// in A3I5 and A5I3, a clear bit 15 in direct colour, index 3 of the 4x4
/// modes 0 and 1, and palette index 0 when `index0_transparent`. Colour words
/// widen each 5-bit channel c to (c << 3) | (c >> 2). False when a block is
/// too short for the size, or for a type without texel data.
bool DecodeTextureData(const TextureData& data, bool index0_transparent, Image* image,
                       std::vector<unsigned char>* transparent);

/// The sum of squared channel differences between `decoded` and `original`
/// over `original`'s area (`decoded` may be larger, as a texture grown to a
/// near size is).
double SquaredError(const Image& decoded, const Image& original);

/// Paints every texel that `transparent` marks (1) magenta, as previews show
/// transparency.
void PaintTransparent(const std::vector<unsigned char>& transparent, Image* image);

}  // namespace kelvane_example
