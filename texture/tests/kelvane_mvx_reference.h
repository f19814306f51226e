// A literal texture data writer, texel by texel as the data format describes
// it, for comparing the library's writer in tests and benchmarks, and the
// library's writer called the way a host calls it.
#pragma once

#include <vector>

#include "kelvane/kelvane.h"

namespace reference {

struct Data {
  std::vector<unsigned char> texel, palette, index;
  bool operator==(const Data&) const = default;
};

// The writer as the format describes it, texel by texel through the public
// accessors: sizes from bits per texel (PALETTE4/16 in whole 16-bit words),
// zeroed blocks, then each value OR-ed in at its placement.
inline Data LiteralWrite(const Kelvane::CTexture& t) {
  using Kelvane::CTexture;
  const unsigned int w = t.GetWidth(), h = t.GetHeight(), texels = w * h;
  const CTexture::tType type = t.GetType();
  const unsigned int bits[] = {2, 8, 4, 8, 8, 2, 16};
  size_t texel_bytes = type <= CTexture::TYPE_DIRECT ? size_t{texels} * bits[type] / 8 : 0;
  if (type == CTexture::TYPE_PALETTE4) texel_bytes = (texels + 7) / 8 * 2;
  if (type == CTexture::TYPE_PALETTE16) texel_bytes = (texels + 3) / 4 * 2;
  const Kelvane::CColorPalette& palette = t.GetColorPalette();
  Data d;
  d.texel.assign(texel_bytes, 0);
  d.palette.assign(palette.IsAvailable() ? 2 * palette.GetNumber() : 0, 0);
  d.index.assign(type == CTexture::TYPE_TEX4X4 ? 2 * (texels / 16) : 0, 0);
  auto or16 = [](std::vector<unsigned char>& b, size_t word, unsigned int v) {
    b[2 * word] |= static_cast<unsigned char>(v);
    b[2 * word + 1] |= static_cast<unsigned char>(v >> 8);
  };
  auto colour = [](unsigned char r, unsigned char g, unsigned char b) {
    return (r >> 3) | ((g >> 3) << 5) | ((b >> 3) << 10);
  };
  auto alpha_at = [&](unsigned short x, unsigned short y) {
    unsigned char a = 255;
    if (t.GetAlphaImage().IsAvailable()) t.GetAlphaImage().GetValue(&a, x, y);
    return a;
  };
  for (unsigned short y = 0; y < h; ++y) {
    for (unsigned short x = 0; x < w; ++x) {
      const unsigned int p = y * w + x;
      unsigned char index = 0;
      if (t.GetColorIndexImage().IsAvailable()) t.GetColorIndexImage().GetValue(&index, x, y);
      switch (type) {
        case CTexture::TYPE_PALETTE4:
          or16(d.texel, p / 8, (index & 3u) << (2 * (p % 8)));
          break;
        case CTexture::TYPE_PALETTE16:
          or16(d.texel, p / 4, (index & 15u) << (4 * (p % 4)));
          break;
        case CTexture::TYPE_PALETTE256:
          d.texel[p] = index;
          break;
        case CTexture::TYPE_A5I3:
          d.texel[p] = static_cast<unsigned char>((index & 7) | ((alpha_at(x, y) >> 3) << 3));
          break;
        case CTexture::TYPE_A3I5:
          d.texel[p] = static_cast<unsigned char>((index & 31) | ((alpha_at(x, y) >> 5) << 5));
          break;
        case CTexture::TYPE_TEX4X4: {
          const unsigned int k = x / 4 + (w / 4) * (y / 4), field = 4 * (y % 4) + x % 4;
          or16(d.texel, 2 * k + field / 8, (index & 3u) << (2 * (field % 8)));
          break;
        }
        case CTexture::TYPE_DIRECT: {
          unsigned char r, g, b;
          t.GetDirectColorImage().GetValue(&r, &g, &b, x, y);
          or16(d.texel, p, colour(r, g, b) | (alpha_at(x, y) > 0 ? 0x8000u : 0u));
          break;
        }
        default:
          break;
      }
    }
  }
  for (unsigned int k = 0; k < d.index.size() / 2; ++k) {
    unsigned int address = 0;
    t.GetColorPaletteAddress().GetValue(&address, k);
    or16(d.index, k, (unsigned{t.GetColorPaletteAttribute()[k]} << 14) | address);
  }
  if (type != CTexture::TYPE_DIRECT) {
    for (unsigned int i = 0; i < d.palette.size() / 2; ++i) {
      unsigned char r, g, b;
      palette.GetValue(&r, &g, &b, i);
      or16(d.palette, i, colour(r, g, b));
    }
  }
  return d;
}

// The library's writer, as a host calls it: asks for the sizes, fills
// buffers of exactly those sizes (0xAA beforehand) and writes.
inline bool LibraryWrite(Kelvane::CTexture* texture, bool near_size, Data* data) {
  Kelvane::CMvx writer;
  unsigned int texel = 0, palette = 0, index = 0;
  if (!writer.GetDataByteSize(&texel, &palette, &index, texture, near_size)) return false;
  data->texel.assign(texel, 0xAA);
  data->palette.assign(palette, 0xAA);
  data->index.assign(index, 0xAA);
  Kelvane::CMvx::tMemory memory{data->texel.data(),   texel, data->palette.data(), palette,
                                data->index.data(), index};
  return writer.Write(&memory, texture, near_size);
}

}  // namespace reference
