// The colour processor interface and the library's default processor: settings,
// nearest-colour search, colour collection, median-cut reduction and the
// conversion to palette types.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <typeinfo>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_default_processor.h"
#include "kelvane_nearest.h"

namespace Kelvane {

namespace {

using internal::NearestSearch;

CDefaultColorProcessor g_default_color_processor;

// Remembers the nearest entry of recently met colours, so that a colour seen
// again is not searched again. Direct-mapped and small enough to stay in the
// processor's cache: a colour that is evicted is simply searched once more,
// and an image of nearly all new colours pays little beyond the searches. A
// small image gets a small table (about two slots a texel), so that setting
// the table up does not cost more than its searches.
class NearestCache {
 public:
  NearestCache(const NearestSearch& search, uint32_t texels) : search_(search) {
    while (slot_bits_ < kMaxSlotBits && (uint64_t{1} << slot_bits_) < uint64_t{2} * texels) ++slot_bits_;
    keys_.assign(size_t{1} << slot_bits_, kEmpty);
    values_.assign(size_t{1} << slot_bits_, 0);
  }

  unsigned char Find(unsigned char r, unsigned char g, unsigned char b) {
    const uint32_t colour = (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
    const uint32_t slot = (colour * 2654435761u) >> (32 - slot_bits_);
    if (keys_[slot] == colour) return values_[slot];
    const unsigned char found = search_.Find(r, g, b);
    keys_[slot] = colour;
    values_[slot] = found;
    return found;
  }

 private:
  static constexpr unsigned int kMaxSlotBits = 16;
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;  // above every 24-bit colour
  const NearestSearch& search_;
  unsigned int slot_bits_ = 4;
  std::vector<uint32_t> keys_;
  std::vector<unsigned char> values_;
};

}  // namespace

namespace internal {
CColorProcessor* DefaultColorProcessor() { return &g_default_color_processor; }
}  // namespace internal

CColorProcessor::~CColorProcessor() = default;

CDefaultColorProcessor::CDefaultColorProcessor() : factor_() {
  std::memset(&factor_, 0, sizeof factor_);
  factor_.pFixedPalette = nullptr;
}
CDefaultColorProcessor::CDefaultColorProcessor(const CDefaultColorProcessor& other)
    : CColorProcessor(other), factor_(other.factor_) {}
CDefaultColorProcessor& CDefaultColorProcessor::operator=(const CDefaultColorProcessor& other) {
  factor_ = other.factor_;
  return *this;
}
CDefaultColorProcessor::~CDefaultColorProcessor() = default;

void CDefaultColorProcessor::SetConvertFactor(const void* factor) {
  std::memcpy(&factor_, factor, sizeof factor_);
}

int CDefaultColorProcessor::FindNearColor(const CColorPalette* palette, unsigned char red,
                                          unsigned char green, unsigned char blue, short excluded) {
  // The result is held in 8 bits, so it is never -1.
  return NearestSearch(*palette, excluded).Find(red, green, blue);
}

bool CDefaultColorProcessor::CreateColorMemory(CColorPalette* out, const CDirectColorImage* image,
                                               const CAlphaImage* alpha, unsigned char threshold) {
  const uint32_t count = image->GetNumber();
  const unsigned char* reds = image->GetRedChannel().GetpData();
  const unsigned char* greens = image->GetGreenChannel().GetpData();
  const unsigned char* blues = image->GetBlueChannel().GetpData();
  const unsigned char* alphas = alpha != nullptr ? alpha->GetAlphaChannel().GetpData() : nullptr;
  unsigned char* out_red = out->GetRedChannel().GetpData();
  unsigned char* out_green = out->GetGreenChannel().GetpData();
  unsigned char* out_blue = out->GetBlueChannel().GetpData();
  uint32_t appended = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (alphas != nullptr && alphas[i] < threshold) continue;
    out_red[appended] = reds[i];
    out_green[appended] = greens[i];
    out_blue[appended] = blues[i];
    ++appended;
  }
  out->ChangeNumber(appended);
  return true;
}

void CDefaultColorProcessor::CompressPalette_MedhianCut(CColorPalette* out, const CColorPalette* colours) {
  const unsigned int count = colours->GetNumber();
  const unsigned int n = out->GetNumber();
  if (count <= n) {
    *out = *colours;
    return;
  }
  // count > n >= 0, so count >= 1.
  CData red(colours->GetRedChannel());
  CData green(colours->GetGreenChannel());
  CData blue(colours->GetBlueChannel());
  std::vector<unsigned int> red_order(count), green_order(count), blue_order(count);
  for (unsigned int i = 0; i < count; ++i) red_order[i] = green_order[i] = blue_order[i] = i;
  red.QuickSortTopDown(red_order.data(), 0, count - 1, false);
  green.QuickSortTopDown(green_order.data(), 0, count - 1, false);
  blue.QuickSortTopDown(blue_order.data(), 0, count - 1, false);

  unsigned int levels = 0;
  for (uint64_t sum = 0; sum < n; ++levels) sum += uint64_t{levels} * levels;

  unsigned int written = 0;
  if (n == 0) return;
  uint64_t span = count - 1;
  for (unsigned int level = 0; level < levels; ++level) {
    uint64_t c = 0;
    for (uint64_t d = span; d < count; c = d, d += span) {
      const auto red_range = static_cast<unsigned char>(red[d] - red[c]);
      const auto green_range = static_cast<unsigned char>(green[d] - green[c]);
      const auto blue_range = static_cast<unsigned char>(blue[d] - blue[c]);
      const uint64_t middle = (c + d) / 2;
      unsigned int pick = blue_order[middle];
      if (green_range > blue_range && green_range > red_range) {
        pick = green_order[middle];
      } else if (red_range > blue_range && red_range > green_range) {
        pick = red_order[middle];
      }
      unsigned char r, g, b;
      colours->GetValue(&r, &g, &b, pick);
      out->SetValue(r, g, b, written);
      if (++written == n) return;
    }
    span /= 2;
  }
}

namespace {

using Factor = CDefaultColorProcessor::tConvertFactor;

// Every plane read or written per texel must have the texture's size.
bool PlanesFit(CTexture& texture) {
  const unsigned short width = texture.GetWidth();
  const unsigned short height = texture.GetHeight();
  const CDirectColorImage& image = texture.GetDirectColorImage();
  const CColorIndexImage& indices = texture.GetColorIndexImage();
  const CAlphaImage& alpha = texture.GetAlphaImage();
  if (!image.IsAvailable() || image.GetWidth() != width || image.GetHeight() != height) return false;
  if (!indices.IsAvailable() || indices.GetNumber() != uint32_t{width} * height) return false;
  return !alpha.IsAvailable() || (alpha.GetWidth() == width && alpha.GetHeight() == height);
}

// Key-colour transparency: the alpha image becomes 0 where the texel has the
// key colour (entry 0 of a fixed palette, else the configured one), 255
// elsewhere. Without an alpha image of its own the texture gets one here, so
// that the key colour's transparency is kept.
void MarkKeyColour(const Factor& factor, CTexture* texture) {
  unsigned char key_red = factor.transparentRed;
  unsigned char key_green = factor.transparentGreen;
  unsigned char key_blue = factor.transparentBlue;
  if (factor.pFixedPalette != nullptr) factor.pFixedPalette->GetValue(&key_red, &key_green, &key_blue, 0);
  const CDirectColorImage& image = texture->GetDirectColorImage();
  CAlphaImage& alpha = texture->GetAlphaImage();
  if (!alpha.IsAvailable()) alpha.Create(image.GetWidth(), image.GetHeight(), 255);
  const uint32_t texels = image.GetNumber();
  const unsigned char* reds = image.GetRedChannel().GetpData();
  const unsigned char* greens = image.GetGreenChannel().GetpData();
  const unsigned char* blues = image.GetBlueChannel().GetpData();
  unsigned char* alphas = alpha.GetAlphaChannel().GetpData();
  for (uint32_t i = 0; i < texels; ++i) {
    const bool key = reds[i] == key_red && greens[i] == key_green && blues[i] == key_blue;
    alphas[i] = key ? 0 : 255;
  }
}

// The colours the palette is chosen from: every texel's, or with transparency
// only the opaque texels' (alpha 128 and up).
void CollectColours(CDefaultColorProcessor* processor, const Factor& factor, CTexture* texture,
                    CColorPalette* work) {
  const CDirectColorImage& image = texture->GetDirectColorImage();
  const CAlphaImage& alpha = texture->GetAlphaImage();
  work->Create(image.GetNumber(), 0, 0, 0);
  if (factor.useTransparency) {
    processor->CreateColorMemory(work, &image, alpha.IsAvailable() ? &alpha : nullptr, 128);
  } else {
    processor->CreateColorMemory(work, &image, nullptr, 0);
  }
}

// The distinct 5-bit colours when they fit the palette, else a median cut of
// them (duplicates weigh in) with its repeats removed.
void ReducePalette(CDefaultColorProcessor* processor, CColorPalette* work, CColorPalette* palette) {
  const unsigned int entries = palette->GetNumber();
  work->CommonLowerBit(5);
  CColorPalette distinct(*work);
  distinct.CutCommonColor();
  if (distinct.GetNumber() <= entries) {
    *palette = distinct;
  } else {
    processor->CompressPalette_MedhianCut(palette, work);
    palette->CutCommonColor();
  }
}

// Entry 0 becomes the key colour: the palette grows by one entry when it has
// room, else its last colour is pushed out.
void MakeTransparentEntry(const Factor& factor, unsigned int entries, CColorPalette* palette) {
  unsigned int c = palette->GetNumber();
  if (c < entries) {
    palette->ChangeNumber(c + 1);
    ++c;
  }
  for (unsigned int i = c - 1; i >= 1; --i) {
    unsigned char r, g, b;
    palette->GetValue(&r, &g, &b, i - 1);
    palette->SetValue(r, g, b, i);
  }
  palette->SetValue(factor.transparentRed, factor.transparentGreen, factor.transparentBlue, 0);
}

// Every texel's index: 0 for a transparent one, else the nearest entry. The
// library's own search is answered once per distinct colour; a derived
// processor gets its (virtual) search called for every texel, and its -1
// fails the conversion.
bool MapTexels(CDefaultColorProcessor* processor, bool own_search, const Factor& factor, short excluded,
               CTexture* texture) {
  const CDirectColorImage& image = texture->GetDirectColorImage();
  const CAlphaImage& alpha = texture->GetAlphaImage();
  const CColorPalette& palette = texture->GetColorPalette();
  const uint32_t texels = image.GetNumber();
  const unsigned char* reds = image.GetRedChannel().GetpData();
  const unsigned char* greens = image.GetGreenChannel().GetpData();
  const unsigned char* blues = image.GetBlueChannel().GetpData();
  const unsigned char* alphas = alpha.IsAvailable() ? alpha.GetAlphaChannel().GetpData() : nullptr;
  unsigned char* out = texture->GetColorIndexImage().GetColorIndexData().GetpData();
  auto transparent = [&](uint32_t i) {
    return factor.useTransparency && (alphas != nullptr ? alphas[i] : 255) < 128;
  };
  if (own_search) {
    NearestSearch search(palette, excluded);
    NearestCache cache(search, texels);
    for (uint32_t i = 0; i < texels; ++i) {
      out[i] = transparent(i) ? 0 : cache.Find(reds[i], greens[i], blues[i]);
    }
    return true;
  }
  for (uint32_t i = 0; i < texels; ++i) {
    if (transparent(i)) {
      out[i] = 0;
      continue;
    }
    const int found = processor->FindNearColor(&palette, reds[i], greens[i], blues[i], excluded);
    if (found == -1) return false;
    out[i] = static_cast<unsigned char>(found);
  }
  return true;
}

}  // namespace

bool CDefaultColorProcessor::ConvertToPaletteType(CTexture* texture) {
  if (!PlanesFit(*texture)) return false;
  const CColorPalette* fixed = factor_.pFixedPalette;
  // A fixed palette that is not available, or holds no entry, gives nothing to
  // map to (nor a key colour to read).
  if (fixed != nullptr && (!fixed->IsAvailable() || fixed->GetNumber() == 0)) return false;

  if (factor_.useTransparency && !factor_.useAlphaImage) MarkKeyColour(factor_, texture);
  CColorPalette work;
  CollectColours(this, factor_, texture, &work);

  CColorPalette& palette = texture->GetColorPalette();
  const unsigned int entries = palette.GetNumber();
  short excluded = -1;
  if (fixed != nullptr) {
    palette = *fixed;
    if (palette.GetNumber() > entries) palette.ChangeNumber(entries);
  } else {
    ReducePalette(this, &work, &palette);
    if (factor_.useTransparency && entries > 0) {
      MakeTransparentEntry(factor_, entries, &palette);
      excluded = 0;
    }
  }
  // The type_info objects are compared by address: an object of exactly this
  // class uses the library's own search, and a mismatch only costs speed.
  const bool own_search = &typeid(*this) == &typeid(CDefaultColorProcessor);
  return MapTexels(this, own_search, factor_, excluded, texture);
}

}  // namespace Kelvane
