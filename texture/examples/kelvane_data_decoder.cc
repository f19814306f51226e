// The texture data decoder of the examples.
#include "kelvane_data_decoder.h"

#include <cstddef>

namespace kelvane_example {

namespace {

using Kelvane::CTexture;

struct Rgb {
  int r = 0, g = 0, b = 0;
};

unsigned int Load16(const std::vector<unsigned char>& bytes, size_t word) {
  return bytes[2 * word] | (unsigned{bytes[2 * word + 1]} << 8);
}

int Widen(unsigned int five) { return static_cast<int>((five << 3) | (five >> 2)); }

Rgb FromWord(unsigned int word) {
  return Rgb{Widen(word & 31), Widen((word >> 5) & 31), Widen((word >> 10) & 31)};
}

// Entries past the palette data decode to black.
Rgb Entry(const std::vector<unsigned char>& palette, size_t entry) {
  return entry < palette.size() / 2 ? FromWord(Load16(palette, entry)) : Rgb{};
}

Rgb Mix(const Rgb& a, int wa, const Rgb& b, int wb, int shift) {
  return Rgb{(wa * a.r + wb * b.r) >> shift, (wa * a.g + wb * b.g) >> shift, (wa * a.b + wb * b.b) >> shift};
}

}  // namespace

bool DecodeTextureData(const TextureData& data, bool index0_transparent, Image* image,
                       std::vector<unsigned char>* transparent) {
  const size_t w = data.width, h = data.height, texels = w * h;
  size_t needed = 0;
  switch (data.type) {
    case CTexture::TYPE_PALETTE4:
      needed = (texels + 7) / 8 * 2;
      break;
    case CTexture::TYPE_PALETTE16:
      needed = (texels + 3) / 4 * 2;
      break;
    case CTexture::TYPE_A5I3:
    case CTexture::TYPE_A3I5:
    case CTexture::TYPE_PALETTE256:
      needed = texels;
      break;
    case CTexture::TYPE_TEX4X4:
      if (w % 4 != 0 || h % 4 != 0 || data.palette_index.size() < texels / 16 * 2) return false;
      needed = texels / 4;
      break;
    case CTexture::TYPE_DIRECT:
      needed = 2 * texels;
      break;
    default:
      return false;
  }
  if (data.texel.size() < needed) return false;
  image->width = data.width;
  image->height = data.height;
  image->rgb.assign(3 * texels, 0);
  transparent->assign(texels, 0);
  for (size_t p = 0; p < texels; ++p) {
    Rgb colour;
    bool clear = false;
    switch (data.type) {
      case CTexture::TYPE_PALETTE4:
      case CTexture::TYPE_PALETTE16:
      case CTexture::TYPE_PALETTE256: {
        unsigned int index;
        if (data.type == CTexture::TYPE_PALETTE4) {
          index = (Load16(data.texel, p / 8) >> (2 * (p % 8))) & 3;
        } else if (data.type == CTexture::TYPE_PALETTE16) {
          index = (Load16(data.texel, p / 4) >> (4 * (p % 4))) & 15;
        } else {
          index = data.texel[p];
        }
        colour = Entry(data.palette, index);
        clear = index0_transparent && index == 0;
        break;
      }
      case CTexture::TYPE_A5I3:
      case CTexture::TYPE_A3I5: {
        const unsigned int index_bits = data.type == CTexture::TYPE_A5I3 ? 3 : 5;
        const unsigned int byte = data.texel[p];
        colour = Entry(data.palette, byte & ((1u << index_bits) - 1));
        clear = byte < 128;  // the alpha's top bit is the byte's
        break;
      }
      case CTexture::TYPE_TEX4X4: {
        const size_t x = p % w, y = p / w, k = x / 4 + (w / 4) * (y / 4);
        const size_t field = 4 * (y % 4) + x % 4;
        const unsigned int index = (Load16(data.texel, 2 * k + field / 8) >> (2 * (field % 8))) & 3;
        const unsigned int word = Load16(data.palette_index, k);
        const unsigned int mode = word >> 14;
        const size_t base = 2 * size_t{word & 0x3FFF};
        const Rgb c0 = Entry(data.palette, base), c1 = Entry(data.palette, base + 1);
        const Rgb list[4][4] = {
            {c0, c1, Entry(data.palette, base + 2), Rgb{}},
            {c0, c1, Mix(c0, 1, c1, 1, 1), Rgb{}},
            {c0, c1, Entry(data.palette, base + 2), Entry(data.palette, base + 3)},
            {c0, c1, Mix(c0, 5, c1, 3, 3), Mix(c0, 3, c1, 5, 3)},
        };
        colour = list[mode][index];
        clear = mode < 2 && index == 3;
        break;
      }
      case CTexture::TYPE_DIRECT: {
        const unsigned int word = Load16(data.texel, p);
        colour = FromWord(word);
        clear = (word & 0x8000) == 0;
        break;
      }
      default:
        break;
    }
    image->rgb[3 * p] = static_cast<unsigned char>(colour.r);
    image->rgb[3 * p + 1] = static_cast<unsigned char>(colour.g);
    image->rgb[3 * p + 2] = static_cast<unsigned char>(colour.b);
    (*transparent)[p] = clear ? 1 : 0;
  }
  return true;
}

double SquaredError(const Image& decoded, const Image& original) {
  double sum = 0;
  for (unsigned int y = 0; y < original.height; ++y) {
    for (unsigned int x = 0; x < original.width; ++x) {
      const unsigned char* p = &decoded.rgb[(size_t{y} * decoded.width + x) * 3];
      const unsigned char* q = &original.rgb[(size_t{y} * original.width + x) * 3];
      for (int k = 0; k < 3; ++k) sum += (p[k] - q[k]) * double(p[k] - q[k]);
    }
  }
  return sum;
}

void PaintTransparent(const std::vector<unsigned char>& transparent, Image* image) {
  for (size_t i = 0; i < transparent.size(); ++i) {
    if (transparent[i] == 0) continue;
    image->rgb[3 * i] = 255;
    image->rgb[3 * i + 1] = 0;
    image->rgb[3 * i + 2] = 255;
  }
}

}  // namespace kelvane_example
