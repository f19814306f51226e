// The texture library on small random images and settings: each input makes
// an image of 1 to 8 texels a side, or up to 32 (colours from a small list, so that
// palettes both fit and need reducing; perhaps an alpha image), settings for
// the colour processor (transparency by key colour or alpha image, the 4x4
// algorithm, shared runs and their tolerances, perhaps a fixed palette), and
// a chain of up to five conversions between the texture types. After every
// conversion the planes must hold what the type promises, and the data
// writer's output, read back by the example's decoder as the console reads
// it, must show the texture's own colours.
//
// Invariants:
// - palette types: at most 4, 8, 16, 32 or 256 entries, every index below the
//   palette size; from direct colour every opaque texel has the nearest entry
//   (the lowest of the smallest distance), every transparent one index 0;
// - 4x4: at most 32768 entries, modes 0 to 3, texel indices 0 to 3, each
//   block's run inside the palette, index 3 of modes 0 and 1 exactly on the
//   transparent texels; a processor derived from the default one (searching
//   on the calling thread) gives the same planes;
// - on a quarter of the inputs the refined processor converts instead, its
//   quality, dithering strength and thread count from the input: palettes of
//   5-bit colours within the limits, transparent texels at index 0; without
//   dithering every opaque texel at its nearest entry (the refined distance,
//   or the default one for the reference quality, whose planes are then the
//   default processor's); a derived refined processor (searching through the
//   virtual FindNearColor) with another thread count gives the same planes;
// - a refused 4x4 conversion (sides not multiples of 4) changes nothing;
// - the written data has the sizes GetDataByteSize gives and decodes to the
//   texture's colours (4x4: to what the library's own decoding gives), also
//   after growing to power-of-two sides; a buffer one byte short is refused;
// - inputs that begin with 'P' go to the example's PPM reader instead: an
//   image it accepts has the sizes its header gives and reads back the same
//   from the PPM the example writes; one it refuses says why and changes
//   nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_data_decoder.h"
#include "kelvane_image_loader.h"

namespace {

using Kelvane::CAlphaImage;
using Kelvane::CColorPalette;
using Kelvane::CColorProcessor;
using Kelvane::CData;
using Kelvane::CDefaultColorProcessor;
using Kelvane::CMvx;
using Kelvane::CRefinedColorProcessor;
using Kelvane::CTexture;

constexpr unsigned int kPaletteLimit[] = {4, 8, 16, 32, 256};
constexpr unsigned int kTex4x4Limit = 32768;

// A broken invariant: the line names it.
[[noreturn]] void Fail(int line) {
  std::fprintf(stderr, "texture_convert: invariant at line %d broken\n", line);
  std::abort();
}

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // Zero once the input is used up.
  uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Search on the calling thread, through the virtual FindNearColor.
class DerivedProcessor : public CDefaultColorProcessor {};
class DerivedRefinedProcessor : public CRefinedColorProcessor {};

// What the palette conversions of the processor in use promise of each
// opaque texel.
enum class Mapping {
  kNearest,         // the nearest entry by the default distance
  kRefinedNearest,  // the nearest entry by the refined distance
  kDithered,        // some entry (error diffusion moves texels)
};

int Widen(unsigned int channel) {
  const unsigned int five = channel >> 3;
  return static_cast<int>((five << 3) | (five >> 2));
}

uint32_t Distance(int r1, int g1, int b1, int r2, int g2, int b2) {
  const int64_t dr = 30 * (r1 - r2), dg = 59 * (g1 - g2), db = 11 * (b1 - b2);
  return static_cast<uint32_t>(dr * dr + dg * dg + db * db);
}

uint32_t RefinedDistance(int r1, int g1, int b1, int r2, int g2, int b2) {
  const int dr = r1 - r2, dg = g1 - g2, db = b1 - b2;
  return static_cast<uint32_t>(3 * dr * dr + 4 * dg * dg + 2 * db * db);
}

bool SameData(const CData& a, const CData& b) {
  if (a.IsAvailable() != b.IsAvailable() || a.GetByteSize() != b.GetByteSize()) return false;
  for (unsigned int i = 0; i < a.GetByteSize(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

bool SamePalette(const CColorPalette& a, const CColorPalette& b) {
  return SameData(a.GetRedChannel(), b.GetRedChannel()) && SameData(a.GetGreenChannel(), b.GetGreenChannel()) &&
         SameData(a.GetBlueChannel(), b.GetBlueChannel());
}

bool SamePlanes(const CTexture& a, const CTexture& b) {
  if (a.GetType() != b.GetType() || !SamePalette(a.GetColorPalette(), b.GetColorPalette())) return false;
  if (!SameData(a.GetColorIndexImage().GetColorIndexData(), b.GetColorIndexImage().GetColorIndexData())) {
    return false;
  }
  if (!SameData(a.GetColorPaletteAttribute(), b.GetColorPaletteAttribute())) return false;
  const unsigned int blocks = a.GetColorPaletteAttribute().GetByteSize();
  for (unsigned int k = 0; k < blocks; ++k) {
    unsigned int x = 0, y = 0;
    a.GetColorPaletteAddress().GetValue(&x, k);
    b.GetColorPaletteAddress().GetValue(&y, k);
    if (x != y) return false;
  }
  return true;
}

// Which texels of the direct image the conversion must treat as transparent.
// The palette types take the key colour from entry 0 of a fixed palette, the
// 4x4 encoder always from the settings.
std::vector<bool> TransparentTexels(const CTexture& direct, const CDefaultColorProcessor::tConvertFactor& f,
                                    bool fixed_key) {
  const auto& image = direct.GetDirectColorImage();
  const auto& alpha = direct.GetAlphaImage();
  const unsigned int texels = image.GetNumber();
  std::vector<bool> clear(texels, false);
  if (!f.useTransparency) return clear;
  unsigned char kr = f.transparentRed, kg = f.transparentGreen, kb = f.transparentBlue;
  if (fixed_key && f.pFixedPalette != nullptr) f.pFixedPalette->GetValue(&kr, &kg, &kb, 0);
  for (unsigned int i = 0; i < texels; ++i) {
    if (f.useAlphaImage) {
      clear[i] = alpha.IsAvailable() && alpha.GetAlphaChannel()[i] < 128;
    } else {
      clear[i] = image.GetRedChannel()[i] == kr && image.GetGreenChannel()[i] == kg &&
                 image.GetBlueChannel()[i] == kb;
    }
  }
  return clear;
}

void CheckPaletteType(const CTexture& t, const CTexture* from_direct, const CDefaultColorProcessor::tConvertFactor& f,
                      Mapping mapping) {
  const CColorPalette& palette = t.GetColorPalette();
  const unsigned int entries = palette.GetNumber();
  const unsigned int w = t.GetWidth(), h = t.GetHeight();
  if (!palette.IsAvailable() || entries == 0 || entries > kPaletteLimit[t.GetType()]) Fail(__LINE__);
  const CData& indices = t.GetColorIndexImage().GetColorIndexData();
  if (!t.GetColorIndexImage().IsAvailable() || indices.GetByteSize() != w * h) Fail(__LINE__);
  for (unsigned int i = 0; i < w * h; ++i) {
    if (indices[i] >= entries) Fail(__LINE__);
  }
  if (t.GetType() == CTexture::TYPE_A5I3 || t.GetType() == CTexture::TYPE_A3I5) {
    // No alpha image (a direct image without one) counts as opaque.
    const CAlphaImage& alpha = t.GetAlphaImage();
    if (alpha.IsAvailable() && (alpha.GetWidth() != w || alpha.GetHeight() != h)) Fail(__LINE__);
  }
  if (from_direct == nullptr) return;
  // Reduced from direct colour just now: the nearest entry per opaque texel.
  const std::vector<bool> clear = TransparentTexels(*from_direct, f, true);
  const int excluded = f.pFixedPalette == nullptr && f.useTransparency ? 0 : -1;
  const auto& image = from_direct->GetDirectColorImage();
  for (unsigned int i = 0; i < w * h; ++i) {
    const unsigned int index = indices[i];
    if (clear[i]) {
      if (index != 0) Fail(__LINE__);
      continue;
    }
    if (mapping == Mapping::kDithered) continue;
    const int r = image.GetRedChannel()[i], g = image.GetGreenChannel()[i], b = image.GetBlueChannel()[i];
    unsigned int best = 0;
    uint32_t best_distance = UINT32_MAX;
    for (unsigned int e = 0; e < entries; ++e) {
      if (static_cast<int>(e) == excluded) continue;
      unsigned char pr, pg, pb;
      palette.GetValue(&pr, &pg, &pb, e);
      const uint32_t d = mapping == Mapping::kRefinedNearest ? RefinedDistance(r, g, b, pr, pg, pb)
                                                              : Distance(r, g, b, pr, pg, pb);
      if (d < best_distance) {
        best_distance = d;
        best = e;
      }
    }
    if (best_distance == UINT32_MAX) best = 0;  // only the excluded entry
    if (index != best) Fail(__LINE__);
  }
  // A computed palette holds 5-bit colours (entry 0 is the key colour).
  if (f.pFixedPalette == nullptr) {
    for (unsigned int e = f.useTransparency ? 1 : 0; e < entries; ++e) {
      unsigned char pr, pg, pb;
      palette.GetValue(&pr, &pg, &pb, e);
      if (Widen(pr) != pr || Widen(pg) != pg || Widen(pb) != pb) Fail(__LINE__);
    }
  }
}

void CheckTex4x4(const CTexture& t, const CTexture* from_direct, const CDefaultColorProcessor::tConvertFactor& f) {
  const unsigned int w = t.GetWidth(), h = t.GetHeight();
  if (w % 4 != 0 || h % 4 != 0) Fail(__LINE__);
  const unsigned int columns = w / 4, blocks = columns * (h / 4);
  const unsigned int entries = t.GetColorPalette().GetNumber();
  if (entries > kTex4x4Limit || entries % 2 != 0) Fail(__LINE__);
  const CData& attribute = t.GetColorPaletteAttribute();
  if (attribute.GetByteSize() != blocks || t.GetColorPaletteAddress().GetNumber() != blocks) Fail(__LINE__);
  const CData& indices = t.GetColorIndexImage().GetColorIndexData();
  if (indices.GetByteSize() != w * h) Fail(__LINE__);
  std::vector<bool> clear;
  if (from_direct != nullptr) clear = TransparentTexels(*from_direct, f, false);
  for (unsigned int k = 0; k < blocks; ++k) {
    const unsigned int mode = attribute[k];
    if (mode > 3) Fail(__LINE__);
    unsigned int address = 0;
    t.GetColorPaletteAddress().GetValue(&address, k);
    bool uses_run = mode >= 2;
    for (unsigned int y = 4 * (k / columns); y < 4 * (k / columns) + 4; ++y) {
      for (unsigned int x = 4 * (k % columns); x < 4 * (k % columns) + 4; ++x) {
        const unsigned int index = indices[y * w + x];
        if (index > 3) Fail(__LINE__);
        const bool transparent = mode < 2 && index == 3;
        if (!transparent) uses_run = true;
        if (!clear.empty() && clear[y * w + x] != transparent) Fail(__LINE__);
      }
    }
    const unsigned int run = (mode & 1) != 0 ? 2 : 4;
    if (uses_run && 2 * address + run > entries) Fail(__LINE__);
  }
}

// Writes the texture (a copy: growing changes it) and decodes the data.
void CheckWrite(const CTexture& texture, bool near_size) {
  CTexture t(texture);
  CMvx writer;
  unsigned int texel_bytes = 0, palette_bytes = 0, index_bytes = 0;
  if (!writer.GetDataByteSize(&texel_bytes, &palette_bytes, &index_bytes, &t, near_size)) Fail(__LINE__);
  std::vector<unsigned char> texel(texel_bytes), palette(palette_bytes), index(index_bytes);
  CMvx::tMemory memory{texel.data(), texel_bytes, palette.data(), palette_bytes, index.data(), index_bytes};
  const bool written = writer.Write(&memory, &t, near_size);
  if (t.GetType() == CTexture::TYPE_NONE) {
    if (written) Fail(__LINE__);
    return;
  }
  if (!written) Fail(__LINE__);
  const unsigned int w = t.GetWidth(), h = t.GetHeight();
  if (near_size) {
    if (w != static_cast<unsigned int>(writer.GetNearMVXSize(texture.GetWidth())) ||
        h != static_cast<unsigned int>(writer.GetNearMVXSize(texture.GetHeight()))) {
      Fail(__LINE__);
    }
  }

  kelvane_example::TextureData data;
  data.type = t.GetType();
  data.width = w;
  data.height = h;
  data.texel = texel;
  data.palette = palette;
  data.palette_index = index;
  kelvane_example::Image image;
  std::vector<unsigned char> transparent;
  if (!kelvane_example::DecodeTextureData(data, false, &image, &transparent)) Fail(__LINE__);

  // The colours the texture itself holds for each texel.
  CTexture reference(t);
  const CTexture::tType type = t.GetType();
  const CData* alpha = t.GetAlphaImage().IsAvailable() ? &t.GetAlphaImage().GetAlphaChannel() : nullptr;
  if (type == CTexture::TYPE_TEX4X4) {
    if (!reference.Convert(CTexture::TYPE_DIRECT) || reference.GetType() != CTexture::TYPE_DIRECT) Fail(__LINE__);
  }
  for (unsigned int p = 0; p < w * h; ++p) {
    int r, g, b;
    bool clear = false;
    if (t.IsPaletteType()) {
      const unsigned int e = t.GetColorIndexImage().GetColorIndexData()[p];
      unsigned char pr, pg, pb;
      t.GetColorPalette().GetValue(&pr, &pg, &pb, e);
      r = Widen(pr);
      g = Widen(pg);
      b = Widen(pb);
      if (type == CTexture::TYPE_A5I3 || type == CTexture::TYPE_A3I5) {
        clear = (alpha != nullptr ? (*alpha)[p] : 255) < 128;
      }
    } else {
      // Direct texels are stored in 5 bits; the 4x4 decoding of the library
      // mixes the 5-bit palette colours as the console does.
      const auto& direct = reference.GetDirectColorImage();
      r = direct.GetRedChannel()[p];
      g = direct.GetGreenChannel()[p];
      b = direct.GetBlueChannel()[p];
      if (type == CTexture::TYPE_DIRECT) {
        r = Widen(static_cast<unsigned int>(r));
        g = Widen(static_cast<unsigned int>(g));
        b = Widen(static_cast<unsigned int>(b));
        clear = alpha != nullptr && (*alpha)[p] == 0;
      } else {
        clear = transparent[p] != 0;  // checked below against the index
        const unsigned int k = (p % w) / 4 + (w / 4) * ((p / w) / 4);
        const unsigned int mode = t.GetColorPaletteAttribute()[k];
        const unsigned int texel_index = t.GetColorIndexImage().GetColorIndexData()[p];
        if (clear != (mode < 2 && texel_index == 3)) Fail(__LINE__);
        if (clear) r = g = b = 0;
      }
    }
    if (image.rgb[3 * p] != r || image.rgb[3 * p + 1] != g || image.rgb[3 * p + 2] != b) Fail(__LINE__);
    if ((transparent[p] != 0) != clear) Fail(__LINE__);
  }

  // Growing repeats the last column and row (4x4: the last block column and
  // row, with the texel indices of the last column and row).
  if (near_size && texture.GetWidth() > 0 && texture.GetHeight() > 0) {
    const unsigned int ow = texture.GetWidth(), oh = texture.GetHeight();
    for (unsigned int y = 0; y < h; ++y) {
      for (unsigned int x = 0; x < w; ++x) {
        const unsigned int from = (y < oh ? y : oh - 1) * w + (x < ow ? x : ow - 1);
        const unsigned int p = y * w + x;
        for (unsigned int c = 0; c < 3; ++c) {
          if (image.rgb[3 * p + c] != image.rgb[3 * from + c]) Fail(__LINE__);
        }
      }
    }
  }

  // A texel buffer one byte short is refused.
  if (texel_bytes > 0) {
    CTexture u(texture);
    std::vector<unsigned char> short_texel(texel_bytes - 1);
    CMvx::tMemory short_memory{short_texel.data(), texel_bytes - 1, palette.data(), palette_bytes, index.data(),
                               index_bytes};
    if (writer.Write(&short_memory, &u, near_size)) Fail(__LINE__);
  }
}

// The example's PPM reader on the input itself.
void CheckPpm(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  kelvane_example::Image image;
  image.width = 7;
  std::string why;
  if (kelvane_example::DecodePpm(bytes, &image, &why) != kelvane_example::LoadStatus::kOk) {
    if (why.empty() || image.width != 7 || !image.rgb.empty()) Fail(__LINE__);
    return;
  }
  if (!why.empty() || image.width == 0 || image.height == 0 || image.width > 65535 || image.height > 65535) {
    Fail(__LINE__);
  }
  if (image.rgb.size() != size_t{image.width} * image.height * 3 || !image.alpha.empty()) Fail(__LINE__);
  const std::string written = kelvane_example::EncodePpm(image);
  kelvane_example::Image again;
  if (kelvane_example::DecodePpm(std::vector<uint8_t>(written.begin(), written.end()), &again) !=
          kelvane_example::LoadStatus::kOk ||
      again.width != image.width || again.height != image.height || again.rgb != image.rgb) {
    Fail(__LINE__);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0 && data[0] == 'P') {
    CheckPpm(data, size);
    return 0;
  }
  Bytes in(data, size);
  const uint8_t shape = in.Next();
  const uint8_t flags = in.Next();
  const uint8_t width_byte = in.Next();
  const uint8_t height_byte = in.Next();
  CDefaultColorProcessor::tConvertFactor factor{};
  factor.useTransparency = (flags & 1) != 0;
  factor.useAlphaImage = (flags & 2) != 0;
  factor.sharePalette = (flags & 4) != 0;
  const bool with_alpha = (flags & 8) != 0;
  const bool with_fixed = (flags & 16) != 0;
  // The library's own processor on a quarter of the inputs (and not on the
  // all-ones bytes that mutations favour), a derived one, which searches on
  // the calling thread, on the others; a quarter of the inputs compare the
  // two. A quarter of the inputs take the refined processor instead.
  const bool derived = (flags & 0x60) != 0x20;
  const uint8_t compare = in.Next();
  const bool compare_derived = (compare & 3) == 3;
  const bool refine = (compare & 0x0C) == 0x0C;
  const uint8_t algorithm = in.Next();
  factor.algorithm = static_cast<CDefaultColorProcessor::tAlgorithm>(algorithm < 8 ? algorithm & 3 : algorithm);
  // Sides up to 8, and up to 32 when asked for with the HiLow choice of 4x4
  // colours. The RoundRobin choice tries every set of 3 or 4 of a block's up
  // to 16 colours and, with the comparisons traced for the fuzzer, costs
  // milliseconds per block. Large sides on an eighth of the inputs at most.
  const bool hilow = factor.algorithm < CDefaultColorProcessor::ALGORITHM_ROUNDROBIN;
  const unsigned int side_mask = (flags & 128) != 0 && (compare & 128) != 0 && hilow ? 31 : 7;
  unsigned int width = (width_byte & side_mask) + 1u;
  unsigned int height = (height_byte & side_mask) + 1u;
  if ((shape & 1) != 0) {  // whole 4x4 blocks
    width = (width + 3) & ~3u;
    height = (height + 3) & ~3u;
  }
  factor.transparentRed = in.Next();
  factor.transparentGreen = in.Next();
  factor.transparentBlue = in.Next();
  factor.toleranceRed = in.Next();
  factor.toleranceGreen = in.Next();
  factor.toleranceBlue = in.Next();

  CColorPalette fixed;
  if (with_fixed) {
    const unsigned int count = in.Next() + (shape & 2 ? 256u : 0u);  // 0 is refused; above 256 is cut
    fixed.Create(count, 0, 0, 0);
    for (unsigned int e = 0; e < count && e < 64; ++e) fixed.SetValue(in.Next(), in.Next(), in.Next(), e);
    factor.pFixedPalette = &fixed;
  }

  // The image's colours come from a short list, so that they repeat.
  const unsigned int listed = (in.Next() & 63) + 1;
  std::vector<uint8_t> colours(3 * listed);
  for (uint8_t& c : colours) c = in.Next();
  CTexture texture;
  texture.GetDirectColorImage().Create(static_cast<unsigned short>(width), static_cast<unsigned short>(height), 0,
                                       0, 0);
  if (with_alpha) texture.GetAlphaImage().Create(static_cast<unsigned short>(width), static_cast<unsigned short>(height), 255);
  for (unsigned int y = 0; y < height; ++y) {
    for (unsigned int x = 0; x < width; ++x) {
      const unsigned int pick = in.Next() % listed;
      texture.GetDirectColorImage().SetValue(colours[3 * pick], colours[3 * pick + 1], colours[3 * pick + 2],
                                             static_cast<unsigned short>(x), static_cast<unsigned short>(y));
      if (with_alpha) {
        texture.GetAlphaImage().SetValue(in.Next(), static_cast<unsigned short>(x), static_cast<unsigned short>(y));
      }
    }
  }
  texture.SetType(CTexture::TYPE_DIRECT);

  CDefaultColorProcessor own;
  DerivedProcessor other;
  own.SetConvertFactor(&factor);
  other.SetConvertFactor(&factor);
  CColorProcessor* processor = derived ? static_cast<CColorProcessor*>(&other) : &own;
  CColorProcessor* twin = derived ? static_cast<CColorProcessor*>(&own) : &other;
  // The refined processor: its twin searches through the virtual
  // FindNearColor (or not) with another thread count, and must agree.
  CRefinedColorProcessor refined;
  DerivedRefinedProcessor derived_refined;
  Mapping mapping = Mapping::kNearest;
  bool like_own = true;  // palette conversions give the default processor's planes
  if (refine) {
    const uint8_t setting = in.Next();
    CRefinedColorProcessor::tRefineFactor refine_factor{};
    refine_factor.quality =
        (setting & 1) != 0 ? CRefinedColorProcessor::QUALITY_REFERENCE : CRefinedColorProcessor::QUALITY_REFINED;
    refine_factor.ditherStrength = (setting & 2) != 0 ? in.Next() : 0;  // above 100 acts as 100
    refine_factor.threads = (setting & 4) != 0 ? 0 : 1;
    refined.SetConvertFactor(&factor);
    refined.SetRefineFactor(refine_factor);
    refine_factor.threads = refine_factor.threads == 0 ? 1 : 0;
    derived_refined.SetConvertFactor(&factor);
    derived_refined.SetRefineFactor(refine_factor);
    const bool derived_first = (setting & 8) != 0;
    processor = derived_first ? static_cast<CColorProcessor*>(&derived_refined) : &refined;
    twin = derived_first ? static_cast<CColorProcessor*>(&refined) : &derived_refined;
    if (refine_factor.ditherStrength > 0) {
      mapping = Mapping::kDithered;
    } else if (refine_factor.quality == CRefinedColorProcessor::QUALITY_REFINED) {
      mapping = Mapping::kRefinedNearest;
    }
    like_own = mapping == Mapping::kNearest;
  }
  texture.SetColorProcessor(processor);
  CheckWrite(texture, false);

  const unsigned int steps = (shape >> 2) % 6;
  unsigned int encodings = 0;
  for (unsigned int step = 0; step < steps; ++step) {
    const uint8_t choice = in.Next();
    auto target = static_cast<CTexture::tType>(choice % 8 == 7 ? 9 : choice % 8);
    // At most two 4x4 encodings per input (each perhaps compared with the
    // other processor's); later ones go to direct colour instead.
    if (target == CTexture::TYPE_TEX4X4 && texture.GetType() != CTexture::TYPE_TEX4X4 && ++encodings > 2) {
      target = CTexture::TYPE_DIRECT;
    }
    const bool near_size = (choice & 0x80) != 0;
    const CTexture before(texture);
    const bool was_direct = before.GetType() == CTexture::TYPE_DIRECT;
    const bool converted = texture.Convert(target);
    if (target > CTexture::TYPE_DIRECT) {
      if (converted || !SamePlanes(texture, before)) Fail(__LINE__);
      continue;
    }
    if (target == CTexture::TYPE_TEX4X4) {
      if (before.GetWidth() % 4 != 0 || before.GetHeight() % 4 != 0) {
        if (converted || !SamePlanes(texture, before)) Fail(__LINE__);
        continue;
      }
      if (!converted || texture.GetType() != CTexture::TYPE_TEX4X4) Fail(__LINE__);
      const bool encoded = before.GetType() != CTexture::TYPE_TEX4X4;
      // From a palette type the encoder works on the decoded direct colours.
      CTexture direct(before);
      if (encoded && !was_direct) direct.Convert(CTexture::TYPE_DIRECT);
      CheckTex4x4(texture, encoded ? &direct : nullptr, factor);
      if (encoded && compare_derived) {
        CTexture again(direct);
        again.SetColorProcessor(twin);
        if (!again.Convert(CTexture::TYPE_TEX4X4) || !SamePlanes(again, texture)) Fail(__LINE__);
      }
    } else if (!converted) {
      Fail(__LINE__);  // palette and direct targets always answer true
    } else if (target == CTexture::TYPE_DIRECT) {
      if (texture.GetType() != CTexture::TYPE_DIRECT || !texture.GetDirectColorImage().IsAvailable()) {
        Fail(__LINE__);
      }
    } else if (texture.GetType() == target) {
      // Reduced again when it came from direct colour, or from a palette too
      // large for the target (through direct colour).
      CheckPaletteType(texture, was_direct ? &before : nullptr, factor, mapping);
      if (was_direct && (compare_derived || refine)) {
        CTexture again(before);
        again.SetColorProcessor(twin);
        again.Convert(target);
        if (!SamePlanes(again, texture)) Fail(__LINE__);
      }
      if (was_direct && refine && like_own) {
        CTexture again(before);
        again.SetColorProcessor(&own);
        again.Convert(target);
        if (!SamePlanes(again, texture)) Fail(__LINE__);
      }
    } else if (texture.GetType() != CTexture::TYPE_DIRECT && texture.GetType() != before.GetType()) {
      Fail(__LINE__);  // a failed reduction stays in direct colour (or where it was)
    }
    if (texture.GetType() == CTexture::TYPE_DIRECT && !texture.GetDirectColorImage().IsAvailable()) Fail(__LINE__);
    CheckWrite(texture, near_size);
  }
  return 0;
}
