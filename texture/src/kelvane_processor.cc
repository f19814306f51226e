// The colour processor interface and the library's default processor: settings,
// nearest-colour search, colour collection, median-cut reduction and the
// conversion to palette types.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <typeinfo>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_default_processor.h"

namespace Kelvane {

namespace {

CDefaultColorProcessor g_default_color_processor;

inline uint32_t ColourDistance(int r1, int g1, int b1, int r2, int g2, int b2) {
  const auto dr = static_cast<uint32_t>(30 * (r1 - r2));
  const auto dg = static_cast<uint32_t>(59 * (g1 - g2));
  const auto db = static_cast<uint32_t>(11 * (b1 - b2));
  return dr * dr + dg * dg + db * db;
}

// The nearest-colour search over a palette copied into plain arrays; the same
// result as CDefaultColorProcessor::FindNearColor.
class NearestSearch {
 public:
  NearestSearch(const CColorPalette& palette, short excluded) : excluded_(excluded) {
    const unsigned int count = palette.GetNumber();
    red_.resize(count);
    green_.resize(count);
    blue_.resize(count);
    for (unsigned int i = 0; i < count; ++i) {
      red_[i] = palette.GetRedChannel()[i];
      green_[i] = palette.GetGreenChannel()[i];
      blue_[i] = palette.GetBlueChannel()[i];
    }
  }

  unsigned char Find(int r, int g, int b) const {
    uint32_t best = std::numeric_limits<uint32_t>::max();
    unsigned int best_index = 0;
    const auto count = static_cast<unsigned int>(red_.size());
    for (unsigned int i = 0; i < count; ++i) {
      if (static_cast<int>(i) == excluded_) continue;
      const uint32_t d = ColourDistance(r, g, b, red_[i], green_[i], blue_[i]);
      if (d < best) {
        best = d;
        best_index = i;
        if (d == 0) break;
      }
    }
    return static_cast<unsigned char>(best_index);
  }

 private:
  int excluded_;
  std::vector<int> red_, green_, blue_;
};

// Remembers the nearest entry of every colour met so far, so that each
// distinct texel colour is searched once. Open addressing on the 24-bit colour.
class NearestCache {
 public:
  NearestCache(const NearestSearch& search, uint32_t texels) : search_(search) {
    uint32_t capacity = 1024;
    const uint64_t wanted = std::min<uint64_t>(uint64_t{texels} * 2, uint64_t{1} << 25);
    while (capacity < wanted) capacity *= 2;
    mask_ = capacity - 1;
    keys_.assign(capacity, kEmpty);
    values_.resize(capacity);
  }

  unsigned char Find(unsigned char r, unsigned char g, unsigned char b) {
    const uint32_t colour = (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
    uint32_t slot = (colour * 2654435761u) >> 7 & mask_;
    for (;;) {
      if (keys_[slot] == colour) return values_[slot];
      if (keys_[slot] == kEmpty) break;
      slot = (slot + 1) & mask_;
    }
    const unsigned char found = search_.Find(r, g, b);
    // The table is never more than half full: it is at least twice the texel
    // count (or holds every possible colour twice over).
    keys_[slot] = colour;
    values_[slot] = found;
    return found;
  }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
  const NearestSearch& search_;
  uint32_t mask_;
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
  uint32_t best = std::numeric_limits<uint32_t>::max();
  unsigned int best_index = 0;
  const unsigned int count = palette->GetNumber();
  const CData& reds = palette->GetRedChannel();
  const CData& greens = palette->GetGreenChannel();
  const CData& blues = palette->GetBlueChannel();
  for (unsigned int i = 0; i < count; ++i) {
    if (static_cast<int>(i) == excluded) continue;
    const uint32_t d = ColourDistance(red, green, blue, reds[i], greens[i], blues[i]);
    if (d < best) {
      best = d;
      best_index = i;
      if (d == 0) break;
    }
  }
  // The result is held in 8 bits, so it is never -1.
  return static_cast<unsigned char>(best_index);
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

bool CDefaultColorProcessor::ConvertToPaletteType(CTexture* texture) {
  CDirectColorImage& image = texture->GetDirectColorImage();
  CAlphaImage& alpha = texture->GetAlphaImage();
  CColorPalette& palette = texture->GetColorPalette();
  CColorIndexImage& indices = texture->GetColorIndexImage();
  const unsigned short width = texture->GetWidth();
  const unsigned short height = texture->GetHeight();
  const uint32_t texels = uint32_t{width} * height;
  const unsigned int entries = palette.GetNumber();

  // Every plane read or written per texel must have the texture's size.
  if (!image.IsAvailable() || image.GetWidth() != width || image.GetHeight() != height) return false;
  if (!indices.IsAvailable() || indices.GetNumber() != texels) return false;
  if (alpha.IsAvailable() && (alpha.GetWidth() != width || alpha.GetHeight() != height)) return false;

  const CColorPalette* fixed = factor_.pFixedPalette;
  // A fixed palette that is not available, or holds no entry, gives nothing to
  // map to (nor a key colour to read).
  if (fixed != nullptr && (!fixed->IsAvailable() || fixed->GetNumber() == 0)) return false;

  CColorPalette work;
  work.Create(texels, 0, 0, 0);
  if (factor_.useTransparency) {
    if (!factor_.useAlphaImage) {
      unsigned char key_red = factor_.transparentRed;
      unsigned char key_green = factor_.transparentGreen;
      unsigned char key_blue = factor_.transparentBlue;
      if (fixed != nullptr) fixed->GetValue(&key_red, &key_green, &key_blue, 0);
      // Without an alpha image of its own the texture gets one here, so that
      // the key colour's transparency is kept.
      if (!alpha.IsAvailable()) alpha.Create(width, height, 255);
      const unsigned char* reds = image.GetRedChannel().GetpData();
      const unsigned char* greens = image.GetGreenChannel().GetpData();
      const unsigned char* blues = image.GetBlueChannel().GetpData();
      unsigned char* alphas = alpha.GetAlphaChannel().GetpData();
      for (uint32_t i = 0; i < texels; ++i) {
        const bool key = reds[i] == key_red && greens[i] == key_green && blues[i] == key_blue;
        alphas[i] = key ? 0 : 255;
      }
    }
    CreateColorMemory(&work, &image, alpha.IsAvailable() ? &alpha : nullptr, 128);
  } else {
    CreateColorMemory(&work, &image, nullptr, 0);
  }

  short excluded = -1;
  if (fixed != nullptr) {
    palette = *fixed;
    if (palette.GetNumber() > entries) palette.ChangeNumber(entries);
  } else {
    work.CommonLowerBit(5);
    CColorPalette distinct(work);
    distinct.CutCommonColor();
    if (distinct.GetNumber() <= entries) {
      palette = distinct;
    } else {
      CompressPalette_MedhianCut(&palette, &work);
      palette.CutCommonColor();
    }
    if (factor_.useTransparency && entries > 0) {
      unsigned int c = palette.GetNumber();
      if (c < entries) {
        palette.ChangeNumber(c + 1);
        ++c;
      }
      for (unsigned int i = c - 1; i >= 1; --i) {
        unsigned char r, g, b;
        palette.GetValue(&r, &g, &b, i - 1);
        palette.SetValue(r, g, b, i);
      }
      palette.SetValue(factor_.transparentRed, factor_.transparentGreen, factor_.transparentBlue, 0);
      excluded = 0;
    }
  }

  const unsigned char* reds = image.GetRedChannel().GetpData();
  const unsigned char* greens = image.GetGreenChannel().GetpData();
  const unsigned char* blues = image.GetBlueChannel().GetpData();
  const unsigned char* alphas = alpha.IsAvailable() ? alpha.GetAlphaChannel().GetpData() : nullptr;
  unsigned char* out = indices.GetColorIndexData().GetpData();
  // The library's own search is answered once per distinct colour; a derived
  // processor gets its (virtual) search called for every texel. The type_info
  // objects are compared by address: an object of exactly this class uses the
  // library's own, and a mismatch only costs speed.
  const bool own_search = &typeid(*this) == &typeid(CDefaultColorProcessor);
  if (own_search) {
    NearestSearch search(palette, excluded);
    NearestCache cache(search, texels);
    for (uint32_t i = 0; i < texels; ++i) {
      const unsigned char a = alphas != nullptr ? alphas[i] : 255;
      out[i] = factor_.useTransparency && a < 128 ? 0 : cache.Find(reds[i], greens[i], blues[i]);
    }
    return true;
  }
  for (uint32_t i = 0; i < texels; ++i) {
    const unsigned char a = alphas != nullptr ? alphas[i] : 255;
    if (factor_.useTransparency && a < 128) {
      out[i] = 0;
      continue;
    }
    const int found = FindNearColor(&palette, reds[i], greens[i], blues[i], excluded);
    if (found == -1) return false;
    out[i] = static_cast<unsigned char>(found);
  }
  return true;
}

}  // namespace Kelvane
