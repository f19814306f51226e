// The texture data writer: texel, palette and palette index data of a texture.
#include <cstdint>
#include <cstring>
#include <limits>

#include "kelvane/kelvane.h"

namespace Kelvane {

namespace {

// The sides the console accepts.
constexpr unsigned int kSmallestSide = 8;
constexpr unsigned int kLargestSide = 1024;

struct Sizes {
  uint64_t texel = 0;
  uint64_t palette = 0;
  uint64_t palette_index = 0;
};

unsigned int BitsPerTexel(CTexture::tType type) {
  switch (type) {
    case CTexture::TYPE_PALETTE4:
    case CTexture::TYPE_TEX4X4:
      return 2;
    case CTexture::TYPE_PALETTE16:
      return 4;
    case CTexture::TYPE_A5I3:
    case CTexture::TYPE_A3I5:
    case CTexture::TYPE_PALETTE256:
      return 8;
    case CTexture::TYPE_DIRECT:
      return 16;
    default:
      return 0;
  }
}

unsigned int PaletteEntries(const CTexture& texture) {
  const CColorPalette& palette = texture.GetColorPalette();
  return palette.IsAvailable() ? palette.GetNumber() : 0;
}

Sizes DataSizes(const CTexture& texture, unsigned int width, unsigned int height) {
  const uint64_t texels = uint64_t{width} * height;
  const CTexture::tType type = texture.GetType();
  Sizes sizes;
  if (type == CTexture::TYPE_PALETTE4 || type == CTexture::TYPE_PALETTE16) {
    // Texels are packed into 16-bit words: a partly used last word counts whole.
    const uint64_t per_word = 16 / BitsPerTexel(type);
    sizes.texel = (texels + per_word - 1) / per_word * 2;
  } else {
    sizes.texel = texels * BitsPerTexel(type) / 8;
  }
  sizes.palette = 2 * uint64_t{PaletteEntries(texture)};
  if (type == CTexture::TYPE_TEX4X4) sizes.palette_index = 2 * (texels / 16);
  return sizes;
}

bool Fits32(const Sizes& sizes) {
  constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
  return sizes.texel <= kMax && sizes.palette <= kMax && sizes.palette_index <= kMax;
}

inline void Store16(unsigned char* out, unsigned int value) {
  out[0] = static_cast<unsigned char>(value);
  out[1] = static_cast<unsigned char>(value >> 8);
}

inline void Store32(unsigned char* out, uint32_t value) {
  Store16(out, value & 0xFFFF);
  Store16(out + 2, value >> 16);
}

inline unsigned int ColourWord(unsigned char red, unsigned char green, unsigned char blue) {
  return (red >> 3u) | ((green >> 3u) << 5) | ((blue >> 3u) << 10);
}

// The alpha image when it has the texture's size; null when there is none
// (fully opaque). False when it has another size.
bool AlphaOf(const CTexture& texture, unsigned int width, unsigned int height, const unsigned char** alphas) {
  const CAlphaImage& alpha = texture.GetAlphaImage();
  *alphas = nullptr;
  if (!alpha.IsAvailable()) return true;
  if (alpha.GetWidth() != width || alpha.GetHeight() != height ||
      alpha.GetAlphaChannel().GetByteSize() < width * height) {
    return false;
  }
  *alphas = alpha.GetAlphaChannel().GetpData();
  return true;
}

bool WritePaletteTexels(const CTexture& texture, unsigned int width, unsigned int height,
                        unsigned char* out) {
  const CColorIndexImage& index_image = texture.GetColorIndexImage();
  const uint32_t texels = width * height;
  if (!index_image.IsAvailable() || index_image.GetColorIndexData().GetByteSize() < texels) return false;
  const unsigned char* indices = index_image.GetColorIndexData().GetpData();
  switch (texture.GetType()) {
    case CTexture::TYPE_PALETTE4:
    case CTexture::TYPE_PALETTE16: {
      const unsigned int bits = BitsPerTexel(texture.GetType());
      const unsigned int per_word = 16 / bits;
      const unsigned int mask = (1u << bits) - 1;
      for (uint32_t first = 0; first < texels; first += per_word) {
        const uint32_t last = texels - first < per_word ? texels : first + per_word;
        unsigned int word = 0;
        for (uint32_t p = first; p < last; ++p) word |= (indices[p] & mask) << (bits * (p - first));
        Store16(out + first / per_word * 2, word);
      }
      return true;
    }
    case CTexture::TYPE_PALETTE256:
      std::memcpy(out, indices, texels);
      return true;
    case CTexture::TYPE_A5I3:
    case CTexture::TYPE_A3I5: {
      const unsigned char* alphas = nullptr;
      if (!AlphaOf(texture, width, height, &alphas)) return false;
      const bool a5i3 = texture.GetType() == CTexture::TYPE_A5I3;
      const unsigned int index_bits = a5i3 ? 3 : 5;
      const unsigned int index_mask = (1u << index_bits) - 1;
      for (uint32_t p = 0; p < texels; ++p) {
        // The alpha's high bits (alpha >> index bits) sit above the index.
        const unsigned int alpha = alphas != nullptr ? alphas[p] : 255u;
        out[p] = static_cast<unsigned char>((alpha & ~index_mask) | (indices[p] & index_mask));
      }
      return true;
    }
    default:
      return false;
  }
}

bool WriteTex4x4(const CTexture& texture, unsigned int width, unsigned int height, unsigned char* texel_out,
                 unsigned char* index_out) {
  const CColorIndexImage& index_image = texture.GetColorIndexImage();
  const CData& attributes = texture.GetColorPaletteAttribute();
  const CByteData& addresses = texture.GetColorPaletteAddress();
  // Sides that are not whole blocks would place texels in other blocks' words.
  if (!index_image.IsAvailable() || width % 4 != 0 || height % 4 != 0 ||
      index_image.GetColorIndexData().GetByteSize() < width * height) {
    return false;
  }
  const unsigned int columns = width / 4;
  const uint32_t blocks = columns * (height / 4);
  if (attributes.GetByteSize() != blocks || addresses.GetNumber() < blocks) return false;
  const unsigned char* indices = index_image.GetColorIndexData().GetpData();
  for (uint32_t k = 0; k < blocks; ++k) {
    const unsigned char* block = indices + (k / columns) * 4 * width + (k % columns) * 4;
    uint32_t word = 0;
    for (unsigned int r = 0; r < 4; ++r) {
      for (unsigned int c = 0; c < 4; ++c) word |= uint32_t{block[r * width + c] & 3u} << (2 * (4 * r + c));
    }
    Store32(texel_out + 4 * k, word);
  }
  for (uint32_t k = 0; k < blocks; ++k) {
    unsigned int address = 0;
    addresses.GetValue(&address, k);
    Store16(index_out + 2 * k, ((attributes[k] & 3u) << 14) | (address & 0x3FFFu));
  }
  return true;
}

bool WriteDirect(const CTexture& texture, unsigned int width, unsigned int height, unsigned char* out) {
  const CDirectColorImage& image = texture.GetDirectColorImage();
  const uint32_t texels = width * height;
  if (!image.IsAvailable() || image.GetWidth() != width || image.GetHeight() != height ||
      image.GetRedChannel().GetByteSize() < texels || image.GetGreenChannel().GetByteSize() < texels ||
      image.GetBlueChannel().GetByteSize() < texels) {
    return false;
  }
  const unsigned char* alphas = nullptr;
  if (!AlphaOf(texture, width, height, &alphas)) return false;
  const unsigned char* reds = image.GetRedChannel().GetpData();
  const unsigned char* greens = image.GetGreenChannel().GetpData();
  const unsigned char* blues = image.GetBlueChannel().GetpData();
  for (uint32_t p = 0; p < texels; ++p) {
    const unsigned int opaque = alphas == nullptr || alphas[p] > 0 ? 0x8000u : 0u;
    Store16(out + 2 * p, ColourWord(reds[p], greens[p], blues[p]) | opaque);
  }
  return true;
}

void WritePalette(const CTexture& texture, unsigned char* out) {
  const CColorPalette& palette = texture.GetColorPalette();
  const unsigned int entries = PaletteEntries(texture);
  const unsigned char* reds = palette.GetRedChannel().GetpData();
  const unsigned char* greens = palette.GetGreenChannel().GetpData();
  const unsigned char* blues = palette.GetBlueChannel().GetpData();
  for (unsigned int i = 0; i < entries; ++i) Store16(out + 2 * i, ColourWord(reds[i], greens[i], blues[i]));
}

// A buffer that a type needs: present and at least as large as its data. Data
// of no bytes (the empty palette of a 4x4 texture whose blocks are all
// transparent) needs no buffer: an empty vector's data() may be null.
bool Holds(const unsigned char* buffer, unsigned int size, uint64_t needed) {
  return needed == 0 || (buffer != nullptr && size >= needed);
}

}  // namespace

CMvx::CMvx() = default;
CMvx& CMvx::operator=(const CMvx& /*other*/) { return *this; }
CMvx::~CMvx() = default;

int CMvx::GetNearMVXSize(unsigned short size) const {
  if (size == 0 || size > kLargestSide) return -1;
  unsigned int side = kSmallestSide;
  while (side < size) side *= 2;
  return static_cast<int>(side);
}

bool CMvx::GetDataByteSize(unsigned int* texel_bytes, unsigned int* palette_bytes,
                           unsigned int* palette_index_bytes, CTexture* texture, bool near_size) const {
  int width = texture->GetWidth();
  int height = texture->GetHeight();
  if (near_size) {
    width = GetNearMVXSize(static_cast<unsigned short>(width));
    height = GetNearMVXSize(static_cast<unsigned short>(height));
    if (width < 0 || height < 0) return false;
  }
  const Sizes sizes =
      DataSizes(*texture, static_cast<unsigned int>(width), static_cast<unsigned int>(height));
  if (!Fits32(sizes)) return false;
  *texel_bytes = static_cast<unsigned int>(sizes.texel);
  *palette_bytes = static_cast<unsigned int>(sizes.palette);
  *palette_index_bytes = static_cast<unsigned int>(sizes.palette_index);
  return true;
}

bool CMvx::Write(tMemory* memory, CTexture* texture, bool near_size) const {
  unsigned int width = texture->GetWidth();
  unsigned int height = texture->GetHeight();
  if (near_size) {
    const int near_width = GetNearMVXSize(static_cast<unsigned short>(width));
    const int near_height = GetNearMVXSize(static_cast<unsigned short>(height));
    if (near_width < 0 || near_height < 0) return false;
    if (!texture->AlignmentImageSize(static_cast<unsigned short>(near_width),
                                     static_cast<unsigned short>(near_height))) {
      return false;
    }
    width = static_cast<unsigned int>(near_width);
    height = static_cast<unsigned int>(near_height);
  }
  if (memory->pTexelData != nullptr) std::memset(memory->pTexelData, 0, memory->texelDataSize);
  if (memory->pPaletteData != nullptr) std::memset(memory->pPaletteData, 0, memory->paletteDataSize);
  if (memory->pPaletteIndexData != nullptr) {
    std::memset(memory->pPaletteIndexData, 0, memory->paletteIndexDataSize);
  }

  const Sizes sizes = DataSizes(*texture, width, height);
  if (texture->IsPaletteType()) {
    if (!Holds(memory->pTexelData, memory->texelDataSize, sizes.texel)) return false;
    if (!WritePaletteTexels(*texture, width, height, memory->pTexelData)) return false;
    // The texels stay written when the palette buffer is missing.
    if (!Holds(memory->pPaletteData, memory->paletteDataSize, sizes.palette)) return false;
    WritePalette(*texture, memory->pPaletteData);
    return true;
  }
  if (texture->GetType() == CTexture::TYPE_TEX4X4) {
    if (!Holds(memory->pTexelData, memory->texelDataSize, sizes.texel) ||
        !Holds(memory->pPaletteData, memory->paletteDataSize, sizes.palette) ||
        !Holds(memory->pPaletteIndexData, memory->paletteIndexDataSize, sizes.palette_index)) {
      return false;
    }
    if (!WriteTex4x4(*texture, width, height, memory->pTexelData, memory->pPaletteIndexData)) return false;
    WritePalette(*texture, memory->pPaletteData);
    return true;
  }
  if (texture->GetType() == CTexture::TYPE_DIRECT) {
    if (!Holds(memory->pTexelData, memory->texelDataSize, sizes.texel)) return false;
    return WriteDirect(*texture, width, height, memory->pTexelData);
  }
  return false;
}

}  // namespace Kelvane
