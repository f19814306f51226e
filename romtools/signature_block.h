// The sign file and the 136-byte signature block attached to a ROM image at
// its recorded end.
//
// Sign file (155 bytes): 'a', 'c', a 16-bit format number (1), 128 signature
// bytes and a 32-bit value (together the block), then the game title (12
// bytes), game code (4) and maker code (2) it was made for, and one unused
// byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace romtools {

constexpr size_t kSignFileSize = 155;
constexpr size_t kSignatureBlockSize = 136;
constexpr size_t kSignTitleOffset = 136;
constexpr size_t kSignGameCodeOffset = 148;
constexpr size_t kSignMakerCodeOffset = 152;

/// True when the sign file starts "ac" with format number 1.
bool SignFileHeaderValid(const uint8_t sign[kSignFileSize]);

/// The placeholder sign file: a valid header, 128 bytes of 0x03, the value
/// 4, and zeros after the block.
void MakePlaceholderSignFile(uint8_t sign[kSignFileSize]);

/// Which identity field of a sign file disagrees with a ROM header.
enum class IdentityCheck { kMatch, kGameTitle, kGameCode, kMakerCode };

/// Compares title (up to and including a zero byte of the ROM's title, at
/// most 12 bytes), then game code, then maker code. `rom` holds at least the
/// first 0x12 bytes of the image.
IdentityCheck CompareIdentity(const uint8_t* rom, const uint8_t sign[kSignFileSize]);

/// Where the block goes, given the image size and its recorded size.
enum class SizeRule {
  kTooSmall,   // the image is shorter than its recorded size
  kAppend,     // sizes agree: the block is appended
  kPadShort,   // the block reaches past the image: it grows to recorded size + block
  kOverwrite,  // the block fits inside the image, whose size stays
};

/// The rule for an image of `image_size` bytes recording `recorded_size`, and
/// the output size in `*output_size` (0 when too small).
SizeRule ApplySizeRule(uint64_t image_size, uint64_t recorded_size, uint64_t* output_size);

}  // namespace romtools
