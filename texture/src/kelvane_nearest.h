// The library's one nearest-colour search.
#pragma once

#include <cstdint>
#include <vector>

#include "kelvane/kelvane.h"

namespace Kelvane::internal {

/// The colour distance of the library: (30 dr)^2 + (59 dg)^2 + (11 db)^2. Its
/// largest value (about 2.9e8) fits a signed 32-bit number.
inline uint32_t ColourDistance(int r1, int g1, int b1, int r2, int g2, int b2) {
  const auto dr = static_cast<uint32_t>(30 * (r1 - r2));
  const auto dg = static_cast<uint32_t>(59 * (g1 - g2));
  const auto db = static_cast<uint32_t>(11 * (b1 - b2));
  return dr * dr + dg * dg + db * db;
}

/// A palette prepared for many nearest-colour questions: the lowest entry at
/// the smallest colour distance, skipping the excluded entry (-1: none), held
/// in 8 bits. An empty palette, or one whose only entry is excluded, gives 0.
///
/// The entries are kept as weighted 16-bit channel pairs, so that one
/// multiply-add instruction gives the distance of a whole group of entries;
/// every distance is computed exactly and the first smallest one wins, which
/// is what a scan from entry 0 that stops at distance 0 returns.
class NearestSearch {
 public:
  NearestSearch(const CColorPalette& palette, short excluded);
  NearestSearch(const NearestSearch&) = delete;
  NearestSearch& operator=(const NearestSearch&) = delete;

  unsigned char Find(unsigned char red, unsigned char green, unsigned char blue) const;

 private:
  // Palettes of the palette types fit the object itself, so that a search
  // made for one question allocates nothing.
  static constexpr unsigned int kInlineEntries = 256;

  unsigned int groups_;
  // Per entry: 30 r and 59 g, then 11 b and 0 (the pairs the multiply-add
  // takes), and the penalty that keeps padding and the excluded entry out.
  int16_t* red_green_;
  int16_t* blue_zero_;
  int32_t* penalty_;
  int16_t inline_red_green_[2 * kInlineEntries];
  int16_t inline_blue_zero_[2 * kInlineEntries];
  int32_t inline_penalty_[kInlineEntries];
  std::vector<int16_t> heap_red_green_;
  std::vector<int16_t> heap_blue_zero_;
  std::vector<int32_t> heap_penalty_;
};

}  // namespace Kelvane::internal
