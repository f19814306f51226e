// The arithmetic of 4x4-block modes, shared by the encoder and the decoder.
//
// A block's mode has two bits: bit 0 set means the block stores two colours
// and the others are interpolated; bit 1 set means the block has no
// transparent texel (otherwise index 3 is transparent).
//
//   mode 0: c0, c1, c2, transparent            (run of 4: 3 colours and a filler)
//   mode 1: c0, c1, (c0 + c1) / 2, transparent (run of 2)
//   mode 2: c0, c1, c2, c3                     (run of 4)
//   mode 3: c0, c1, (5 c0 + 3 c1) / 8, (3 c0 + 5 c1) / 8 (run of 2)
#pragma once

#include "kelvane/kelvane.h"

namespace Kelvane::internal {

/// Width in bytes of the palette address table as the texture creates it
/// before encoding: before the palette is reduced, a block's address can reach
/// twice the block count (131072 for a 1024 x 1024 texture).
constexpr unsigned char kTex4x4AddressBytesCreated = 4;
/// Width when the table is regrown to a larger size: it then holds encoded
/// addresses, below 16384 once the palette has at most 32768 entries, and the
/// data file keeps each in a 16-bit word.
constexpr unsigned char kTex4x4AddressBytesRegrown = 2;

/// The most palette entries a 4x4 texture may keep.
constexpr unsigned int kTex4x4MaxPaletteEntries = 0x8000;

/// The mode of a block that chose `colours` colours (0 to 4).
inline unsigned char Tex4x4Mode(unsigned int colours, bool transparent) {
  return static_cast<unsigned char>((colours < 3 ? 1 : 0) + (transparent ? 0 : 2));
}

/// The number of palette entries a block of this mode occupies.
inline unsigned int Tex4x4RunLength(unsigned char mode) { return (mode & 1) != 0 ? 2u : 4u; }

/// The number of entries the decoder copies from the block's run; 0 for a mode
/// that cannot be decoded.
inline unsigned int Tex4x4CopiedEntries(unsigned char mode) {
  static constexpr unsigned int kCopied[4] = {3, 2, 4, 2};
  return mode < 4 ? kCopied[mode] : 0u;
}

/// The number of colours a block of this mode decodes to: index 3 of the modes
/// with transparency (0 and 1) stays transparent.
inline unsigned int Tex4x4DecodedEntries(unsigned char mode) { return (mode & 2) != 0 ? 4u : 3u; }

inline unsigned char Tex4x4Half(unsigned char a, unsigned char b) {
  return static_cast<unsigned char>((unsigned{a} + b) >> 1);
}
inline unsigned char Tex4x4FiveThree(unsigned char a, unsigned char b) {
  return static_cast<unsigned char>((5u * a + 3u * b) >> 3);
}

/// Completes a colour list whose first Tex4x4CopiedEntries(mode) entries came
/// from the run: the interpolated entries of modes 1 and 3. Entry 3 of modes 0
/// and 1 is left as it is. False for a mode above 3.
inline bool Tex4x4Interpolate(unsigned char mode, tTLBRGB* list) {
  const tTLBRGB c0 = list[0], c1 = list[1];
  switch (mode) {
    case 0:
    case 2:
      return true;
    case 1:
      list[2] = {Tex4x4Half(c0.red, c1.red), Tex4x4Half(c0.green, c1.green), Tex4x4Half(c0.blue, c1.blue)};
      return true;
    case 3:
      list[2] = {Tex4x4FiveThree(c0.red, c1.red), Tex4x4FiveThree(c0.green, c1.green),
                 Tex4x4FiveThree(c0.blue, c1.blue)};
      list[3] = {Tex4x4FiveThree(c1.red, c0.red), Tex4x4FiveThree(c1.green, c0.green),
                 Tex4x4FiveThree(c1.blue, c0.blue)};
      return true;
    default:
      return false;
  }
}

/// Expands a two-colour list in place as a block of two stored colours decodes:
/// 3 entries for a transparent block (mode 1), else 4 (mode 3). Returns the
/// new entry count.
inline unsigned int Tex4x4ExpandTwo(tTLBRGB* list, bool transparent) {
  Tex4x4Interpolate(Tex4x4Mode(2, transparent), list);
  return transparent ? 3u : 4u;
}

}  // namespace Kelvane::internal
