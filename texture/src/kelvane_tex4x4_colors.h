// Block colour selection on plain colour arrays: the work behind the
// CDefaultColorProcessor 4x4 colour operations, shared with the encoder, which
// calls it for every block without building palette objects.
#pragma once

#include <cstdint>

#include "kelvane/kelvane.h"

namespace Kelvane::internal {

/// The library's colour distance: (30 dr)^2 + (59 dg)^2 + (11 db)^2 in
/// unsigned 32-bit arithmetic.
inline uint32_t Tex4x4Distance(const tTLBRGB& a, const tTLBRGB& b) {
  const auto dr = static_cast<uint32_t>(30 * (a.red - b.red));
  const auto dg = static_cast<uint32_t>(59 * (a.green - b.green));
  const auto db = static_cast<uint32_t>(11 * (a.blue - b.blue));
  return dr * dr + dg * dg + db * db;
}

/// The 8-bit value of the channel's 5-bit colour.
inline unsigned char Tex4x4LowerBit5(unsigned char v) {
  return static_cast<unsigned char>((v & 0xF8) | (v >> 5));
}

inline bool SameColour(const tTLBRGB& a, const tTLBRGB& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

/// Sorts `n` colours by luminance key, brightest first, in the order the
/// palette's own luminance sort gives equal keys.
void SortByLuminanceDescending(tTLBRGB* colours, unsigned int n);

/// The result for at most 4 distinct colours; returns the count written to `out`.
unsigned int SetPaletteColours(const tTLBRGB* distinct, unsigned int m, bool transparent, tTLBRGB* out);
/// HiLow over `n` >= 1 colours (duplicates included).
unsigned int HiLowColours(const tTLBRGB* colours, unsigned int n, bool transparent, bool two_colours,
                          tTLBRGB* out);
/// RoundRobin over `n` colours (duplicates included, at least as many as chosen).
unsigned int RoundRobinColours(const tTLBRGB* colours, unsigned int n, bool transparent, bool two_colours,
                               tTLBRGB* out);
/// A block's choice from the colours of its opaque texels, already reduced to
/// 5 bits per channel: its own colours when at most two are distinct, else the
/// algorithm's (values above 3 act as 3).
unsigned int ChooseBlockColours(const tTLBRGB* colours, unsigned int n, bool transparent, unsigned int algorithm,
                                tTLBRGB* out);

}  // namespace Kelvane::internal
