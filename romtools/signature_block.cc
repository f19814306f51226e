#include "signature_block.h"

#include <cstring>

#include "rom_header.h"
#include "support/byte_order.h"

namespace romtools {

bool SignFileHeaderValid(const uint8_t sign[kSignFileSize]) {
  return sign[0] == 0x61 && sign[1] == 0x63 && support::LoadLe16(sign + 2) == 1;
}

void MakePlaceholderSignFile(uint8_t sign[kSignFileSize]) {
  memset(sign, 0, kSignFileSize);
  sign[0] = 0x61;
  sign[1] = 0x63;
  support::StoreLe16(sign + 2, 1);
  memset(sign + 4, 0x03, 128);
  support::StoreLe32(sign + 132, 4);
}

IdentityCheck CompareIdentity(const uint8_t* rom, const uint8_t sign[kSignFileSize]) {
  for (size_t i = 0; i < kGameTitleSize; ++i) {
    if (rom[kGameTitleOffset + i] != sign[kSignTitleOffset + i]) return IdentityCheck::kGameTitle;
    if (rom[kGameTitleOffset + i] == 0) break;
  }
  if (memcmp(rom + kGameCodeOffset, sign + kSignGameCodeOffset, kGameCodeSize) != 0) return IdentityCheck::kGameCode;
  if (memcmp(rom + kMakerCodeOffset, sign + kSignMakerCodeOffset, kMakerCodeSize) != 0) {
    return IdentityCheck::kMakerCode;
  }
  return IdentityCheck::kMatch;
}

SizeRule ApplySizeRule(uint64_t image_size, uint64_t recorded_size, uint64_t* output_size) {
  *output_size = 0;
  if (image_size < recorded_size) return SizeRule::kTooSmall;
  if (image_size == recorded_size) {
    *output_size = image_size + kSignatureBlockSize;
    return SizeRule::kAppend;
  }
  if (image_size < recorded_size + kSignatureBlockSize) {
    *output_size = recorded_size + kSignatureBlockSize;
    return SizeRule::kPadShort;
  }
  *output_size = image_size;
  return SizeRule::kOverwrite;
}

}  // namespace romtools
