// The refined processor's palette choice and its nearest-colour search.
#pragma once

#include <cstdint>
#include <vector>

#include "kelvane/kelvane.h"

namespace Kelvane::internal {

/// The weights of the refined processor's colour distance, squared:
/// 3 (dr)^2 + 4 (dg)^2 + 2 (db)^2. Green counts most, as the eye sees it, but
/// blue still counts, so that skies and shadows keep their hue.
constexpr int32_t kRefinedWeightRed = 3;
constexpr int32_t kRefinedWeightGreen = 4;
constexpr int32_t kRefinedWeightBlue = 2;

inline uint32_t RefinedDistance(int r1, int g1, int b1, int r2, int g2, int b2) {
  const int32_t dr = r1 - r2, dg = g1 - g2, db = b1 - b2;
  return static_cast<uint32_t>(kRefinedWeightRed * dr * dr + kRefinedWeightGreen * dg * dg +
                               kRefinedWeightBlue * db * db);
}

/// The lowest entry at the smallest refined distance, skipping the excluded
/// entry (-1: none). Entries are kept in green order, and a search stops in
/// each direction once the green difference alone exceeds the best distance,
/// so it answers exactly as a scan of every entry does. An empty palette, or
/// one whose only entry is excluded, gives 0.
class RefinedSearch {
 public:
  /// A colour in units of a channel step, or of a fraction of one.
  struct Colour {
    int32_t red, green, blue;
  };

  /// Entries in any unit; queries must use the same.
  RefinedSearch(const std::vector<Colour>& entries, short excluded);
  /// The palette's entries, in channel steps.
  RefinedSearch(const CColorPalette& palette, short excluded);

  /// `hint` (an entry, or -1) is tried first, which only saves time.
  unsigned int Find(int32_t red, int32_t green, int32_t blue, int hint = -1) const;

 private:
  struct Entry {
    int32_t red, green, blue;
    unsigned int index;
  };
  std::vector<Entry> by_green_;
  std::vector<unsigned int> position_;  // entry index -> place in by_green_
};

/// One occupied cell of the colour histogram that the palette choice starts
/// from: cells keep the 6 high bits of each channel, and each holds the count
/// and the channel sums of its colours.
struct HistogramCell {
  uint32_t cell = 0;  // red, green, blue cell bits, red highest
  uint64_t count = 0;
  uint64_t sum[3] = {0, 0, 0};
};

/// The occupied cells for the colour list `colours`, in cell order.
std::vector<HistogramCell> ColourHistogram(const CColorPalette& colours);

/// Chooses at most `count` distinct colours of the console's 5-bit grid for
/// the colour list `colours` (every texel's colour, so frequent colours weigh
/// more), with as little refined distance of every texel to its nearest
/// colour as the method finds: boxes of the colour histogram split where their
/// error is largest, then Lloyd iterations that move each colour to the grid
/// point nearest the mean of its texels. The same list gives the same colours,
/// whatever `threads` (0: all cores).
std::vector<tTLBRGB> RefinePalette(const CColorPalette& colours, unsigned int count, unsigned int threads);

}  // namespace Kelvane::internal
