// The refined colour processor: its settings, the conversion to palette types
// with a refined palette or the library's own, and the texel mapping, with or
// without error diffusion.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <typeinfo>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_nearest.h"
#include "kelvane_refined_palette.h"

namespace Kelvane {

namespace {

using Factor = CDefaultColorProcessor::tConvertFactor;
using internal::NearestSearch;
using internal::RefinedSearch;

constexpr unsigned int kFullStrength = 100;
// The error a texel takes from its neighbours is cut, per channel, to the
// gap between its nearest entry and that entry's own nearest entry, and one
// grid step more: a region whose colours lie outside the palette would
// otherwise pile up error until a far colour (a red dot in a blue sky) paid it
// back, while between two near entries the error moves freely.
constexpr int32_t kCarryMargin = 8;

// The 8-bit value of the console's 5-bit colour nearest to each 8-bit value
// (the lower one on a tie).
struct NearestGrid {
  unsigned char value[256];
  NearestGrid() {
    for (int v = 0; v < 256; ++v) {
      int best = 0;
      for (int c = 0; c < 32; ++c) {
        const int grid = (c << 3) | (c >> 2);
        if (std::abs(grid - v) < std::abs(best - v)) best = grid;
      }
      value[v] = static_cast<unsigned char>(best);
    }
  }
};
const NearestGrid kNearestGrid;

// Every plane read or written per texel must have the texture's size.
bool PlanesFit(const CTexture& texture) {
  const unsigned short width = texture.GetWidth();
  const unsigned short height = texture.GetHeight();
  const CDirectColorImage& image = texture.GetDirectColorImage();
  const CAlphaImage& alpha = texture.GetAlphaImage();
  if (!image.IsAvailable() || image.GetWidth() != width || image.GetHeight() != height) return false;
  if (!texture.GetColorIndexImage().IsAvailable() ||
      texture.GetColorIndexImage().GetNumber() != uint32_t{width} * height) {
    return false;
  }
  return !alpha.IsAvailable() || (alpha.GetWidth() == width && alpha.GetHeight() == height);
}

// Key-colour transparency, as the library's own processor marks it: the alpha
// image (made when missing) becomes 0 where the texel has the key colour
// (entry 0 of a fixed palette, else the configured one) and 255 elsewhere.
void MarkKeyColour(const Factor& factor, CTexture* texture) {
  unsigned char key[3] = {factor.transparentRed, factor.transparentGreen, factor.transparentBlue};
  if (factor.pFixedPalette != nullptr) factor.pFixedPalette->GetValue(&key[0], &key[1], &key[2], 0);
  const CDirectColorImage& image = texture->GetDirectColorImage();
  CAlphaImage& alpha = texture->GetAlphaImage();
  if (!alpha.IsAvailable()) alpha.Create(image.GetWidth(), image.GetHeight(), 255);
  const unsigned char* reds = image.GetRedChannel().GetpData();
  const unsigned char* greens = image.GetGreenChannel().GetpData();
  const unsigned char* blues = image.GetBlueChannel().GetpData();
  unsigned char* alphas = alpha.GetAlphaChannel().GetpData();
  for (uint32_t i = 0; i < image.GetNumber(); ++i) {
    alphas[i] = reds[i] == key[0] && greens[i] == key[1] && blues[i] == key[2] ? 0 : 255;
  }
}

// The opaque texels' colours each rounded to the nearest grid colour, distinct,
// in order of first appearance; false as soon as there are more than `room`.
bool FewColours(const CColorPalette& colours, unsigned int room, CColorPalette* out) {
  std::vector<uint32_t> seen;
  std::vector<uint8_t> known(uint32_t{1} << 15, 0);
  for (unsigned int i = 0; i < colours.GetNumber(); ++i) {
    unsigned char r, g, b;
    colours.GetValue(&r, &g, &b, i);
    const uint32_t key = (uint32_t{kNearestGrid.value[r]} >> 3) << 10 | (uint32_t{kNearestGrid.value[g]} >> 3) << 5 |
                         (kNearestGrid.value[b] >> 3);
    if (known[key] != 0) continue;
    if (seen.size() == room) return false;
    known[key] = 1;
    seen.push_back(i);
  }
  out->Create(static_cast<unsigned int>(seen.size()), 0, 0, 0);
  for (unsigned int k = 0; k < seen.size(); ++k) {
    unsigned char r, g, b;
    colours.GetValue(&r, &g, &b, seen[k]);
    out->SetValue(kNearestGrid.value[r], kNearestGrid.value[g], kNearestGrid.value[b], k);
  }
  return true;
}

// Remembers the answers for recently met colours: a photograph repeats most
// of its colours many times. One slot per hash of the colour; a colour whose
// slot another has taken is simply searched again. A small image gets a small
// table (about two slots a texel), so that setting it up costs less than its
// searches.
template <typename Find>
class AnswerCache {
 public:
  AnswerCache(Find find, uint32_t texels) : find_(find) {
    while (bits_ < kMaxBits && (uint64_t{1} << bits_) < uint64_t{2} * texels) ++bits_;
    slots_.resize(size_t{1} << bits_);
  }

  int operator()(unsigned char r, unsigned char g, unsigned char b) {
    // Colours are kept plus one, so that a zeroed slot holds none.
    const uint32_t tag = ((uint32_t{r} << 16) | (uint32_t{g} << 8) | b) + 1;
    Slot& slot = slots_[(tag * 0x9E3779B1u) >> (32 - bits_)];
    if (slot.tag != tag) slot = {tag, find_(r, g, b)};
    return slot.answer;
  }

 private:
  struct Slot {
    uint32_t tag = 0;
    int answer = 0;
  };
  static constexpr unsigned int kMaxBits = 16;
  Find find_;
  unsigned int bits_ = 4;
  std::vector<Slot> slots_;
};

// Rounds a/b to the nearest integer, halves upwards, for any sign of a (b > 0).
inline int32_t DivideRounded(int32_t a, int32_t b) {
  const int32_t shifted = a + b / 2;
  return shifted >= 0 ? shifted / b : -((-shifted + b - 1) / b);
}

// Maps every texel to a palette entry through `find`; transparent texels get
// index 0. With a strength above 0, error diffusion in serpentine order; the
// errors are kept in hundredths of sixteenths of a channel step, so that every
// step is an exact integer.
template <typename Find>
bool MapTexels(const CTexture& texture, const CColorPalette& palette, short excluded, bool use_transparency,
               unsigned int strength, Find& find, unsigned char* out) {
  const CDirectColorImage& image = texture.GetDirectColorImage();
  const CAlphaImage& alpha = texture.GetAlphaImage();
  const unsigned int width = image.GetWidth(), height = image.GetHeight();
  const unsigned char* channel[3] = {image.GetRedChannel().GetpData(), image.GetGreenChannel().GetpData(),
                                     image.GetBlueChannel().GetpData()};
  const unsigned char* alphas = alpha.IsAvailable() ? alpha.GetAlphaChannel().GetpData() : nullptr;
  auto transparent = [&](uint32_t i) { return use_transparency && alphas != nullptr && alphas[i] < 128; };
  if (strength == 0) {
    for (uint32_t i = 0; i < image.GetNumber(); ++i) {
      if (transparent(i)) {
        out[i] = 0;
        continue;
      }
      const int found = find(channel[0][i], channel[1][i], channel[2][i]);
      if (found == -1) return false;
      out[i] = static_cast<unsigned char>(found);
    }
    return true;
  }

  const unsigned char* entry[3] = {palette.GetRedChannel().GetpData(), palette.GetGreenChannel().GetpData(),
                                   palette.GetBlueChannel().GetpData()};
  constexpr int32_t kUnit = 16 * int32_t{kFullStrength};
  // Per entry and channel: the gap to the entry's nearest other entry (not
  // the excluded one), plus the margin.
  const unsigned int entries = palette.GetNumber();
  std::vector<int32_t> reach(3 * size_t{entries}, kCarryMargin);
  for (unsigned int e = 0; e < entries; ++e) {
    uint32_t nearest = std::numeric_limits<uint32_t>::max();
    for (unsigned int f = 0; f < entries; ++f) {
      if (f == e || static_cast<int>(f) == excluded) continue;
      const uint32_t d = internal::RefinedDistance(entry[0][e], entry[1][e], entry[2][e], entry[0][f], entry[1][f],
                                                   entry[2][f]);
      if (d >= nearest) continue;
      nearest = d;
      for (int c = 0; c < 3; ++c) reach[3 * size_t{e} + c] = std::abs(entry[c][e] - entry[c][f]) + kCarryMargin;
    }
  }
  // Per row, one slot per texel and channel, with a spare slot at either end.
  std::vector<int32_t> here(3 * (size_t{width} + 2)), below(3 * (size_t{width} + 2));
  for (unsigned int y = 0; y < height; ++y) {
    const bool rightwards = y % 2 == 0;
    const int step = rightwards ? 1 : -1;
    std::fill(below.begin(), below.end(), 0);
    for (unsigned int k = 0; k < width; ++k) {
      const unsigned int x = rightwards ? k : width - 1 - k;
      const uint32_t i = y * width + x;
      if (transparent(i)) {
        out[i] = 0;
        continue;
      }
      const size_t slot = 3 * (size_t{x} + 1);
      const int near = find(channel[0][i], channel[1][i], channel[2][i]);
      if (near == -1) return false;
      const bool in_palette = static_cast<unsigned int>(near) < entries;
      int32_t want[3];
      for (int c = 0; c < 3; ++c) {
        const int32_t limit = in_palette ? reach[3 * static_cast<size_t>(near) + c] : kCarryMargin;
        const int32_t carried = std::clamp(DivideRounded(here[slot + c], kUnit), -limit, limit);
        want[c] = std::clamp(channel[c][i] + carried, 0, 255);
      }
      const int found = find(static_cast<unsigned char>(want[0]), static_cast<unsigned char>(want[1]),
                             static_cast<unsigned char>(want[2]));
      if (found == -1) return false;
      out[i] = static_cast<unsigned char>(found);
      if (static_cast<unsigned int>(found) >= entries) continue;
      for (int c = 0; c < 3; ++c) {
        const int32_t error = (want[c] - entry[c][found]) * static_cast<int32_t>(strength);
        here[slot + 3 * step + c] += 7 * error;
        below[slot - 3 * step + c] += 3 * error;
        below[slot + c] += 5 * error;
        below[slot + 3 * step + c] += error;
      }
    }
    here.swap(below);
  }
  return true;
}

}  // namespace

CRefinedColorProcessor::CRefinedColorProcessor() : reference_(), refine_() {}
CRefinedColorProcessor::CRefinedColorProcessor(const CRefinedColorProcessor& other) = default;
CRefinedColorProcessor& CRefinedColorProcessor::operator=(const CRefinedColorProcessor& other) = default;
CRefinedColorProcessor::~CRefinedColorProcessor() = default;

void CRefinedColorProcessor::SetConvertFactor(const void* factor) { reference_.SetConvertFactor(factor); }
CDefaultColorProcessor::tConvertFactor CRefinedColorProcessor::GetConvertFactor() const {
  return reference_.GetConvertFactor();
}
void CRefinedColorProcessor::SetRefineFactor(const tRefineFactor& factor) { refine_ = factor; }

int CRefinedColorProcessor::FindNearColor(const CColorPalette* palette, unsigned char red, unsigned char green,
                                          unsigned char blue, short excluded) {
  if (refine_.quality == QUALITY_REFERENCE) return reference_.FindNearColor(palette, red, green, blue, excluded);
  return static_cast<int>(RefinedSearch(*palette, excluded).Find(red, green, blue));
}

bool CRefinedColorProcessor::ConvertToTex4x4(CTexture* texture) { return reference_.ConvertToTex4x4(texture); }

bool CRefinedColorProcessor::ConvertToPaletteType(CTexture* texture) {
  const Factor factor = reference_.GetConvertFactor();
  const bool reference = refine_.quality == QUALITY_REFERENCE;
  const unsigned int strength = std::min(refine_.ditherStrength, kFullStrength);
  // The type_info objects are compared by address: an object of exactly this
  // class uses its own searches, and a mismatch only costs speed.
  const bool own_search = &typeid(*this) == &typeid(CRefinedColorProcessor);
  CColorPalette& palette = texture->GetColorPalette();
  const unsigned int entries = palette.GetNumber();
  const CColorPalette* fixed = factor.pFixedPalette;
  const short excluded = factor.useTransparency && fixed == nullptr && entries > 0 ? 0 : -1;

  if (reference) {
    // The library's own palette and indices; only dithering, or a derived
    // class's search, maps the texels again.
    if (!reference_.ConvertToPaletteType(texture)) return false;
    if (strength == 0 && own_search) return true;
  } else {
    if (!PlanesFit(*texture)) return false;
    if (fixed != nullptr && (!fixed->IsAvailable() || fixed->GetNumber() == 0)) return false;
    if (factor.useTransparency && !factor.useAlphaImage) MarkKeyColour(factor, texture);
    const CDirectColorImage& image = texture->GetDirectColorImage();
    const CAlphaImage& alpha = texture->GetAlphaImage();
    CColorPalette colours;
    colours.Create(image.GetNumber(), 0, 0, 0);
    const bool opaque_only = factor.useTransparency && alpha.IsAvailable();
    reference_.CreateColorMemory(&colours, &image, opaque_only ? &alpha : nullptr, opaque_only ? 128 : 0);

    if (fixed != nullptr) {
      palette = *fixed;
      if (palette.GetNumber() > entries) palette.ChangeNumber(entries);
    } else {
      const unsigned int room = excluded == 0 ? entries - 1 : entries;
      CColorPalette chosen;
      if (!FewColours(colours, room, &chosen)) {
        const std::vector<tTLBRGB> refined = internal::RefinePalette(colours, room, refine_.threads);
        chosen.Create(static_cast<unsigned int>(refined.size()), 0, 0, 0);
        for (unsigned int i = 0; i < refined.size(); ++i) {
          chosen.SetValue(refined[i].red, refined[i].green, refined[i].blue, i);
        }
      }
      const unsigned int first = excluded == 0 ? 1 : 0;
      palette.Create(chosen.GetNumber() + first, factor.transparentRed, factor.transparentGreen,
                     factor.transparentBlue);
      for (unsigned int i = 0; i < chosen.GetNumber(); ++i) {
        unsigned char r, g, b;
        chosen.GetValue(&r, &g, &b, i);
        palette.SetValue(r, g, b, i + first);
      }
    }
  }

  unsigned char* out = texture->GetColorIndexImage().GetColorIndexData().GetpData();
  if (!own_search) {
    auto find = [&](unsigned char r, unsigned char g, unsigned char b) {
      return FindNearColor(&palette, r, g, b, excluded);
    };
    return MapTexels(*texture, palette, excluded, factor.useTransparency, strength, find, out);
  }
  if (reference) {
    const NearestSearch search(palette, excluded);
    AnswerCache find([&](unsigned char r, unsigned char g, unsigned char b) { return int{search.Find(r, g, b)}; },
                     texture->GetDirectColorImage().GetNumber());
    return MapTexels(*texture, palette, excluded, factor.useTransparency, strength, find, out);
  }
  const RefinedSearch search(palette, excluded);
  AnswerCache find(
      [&](unsigned char r, unsigned char g, unsigned char b) { return static_cast<int>(search.Find(r, g, b)); },
      texture->GetDirectColorImage().GetNumber());
  return MapTexels(*texture, palette, excluded, factor.useTransparency, strength, find, out);
}

}  // namespace Kelvane
