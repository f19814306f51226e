#include "lz_expand.h"

#include "support/byte_order.h"

namespace backlz {

using support::LoadLe32;

ExpandStatus ExpandBackwardInPlace(uint8_t* buffer, size_t capacity, size_t image_size,
                                   size_t* expanded_size) {
  if (image_size < 8 || image_size > capacity) return ExpandStatus::kBadFooter;
  const uint32_t lengths = LoadLe32(buffer + image_size - 8);
  const size_t region = lengths & 0xFFFFFF;
  const size_t footer = lengths >> 24;
  if (footer < 8 || footer > 11 || region < footer || region > image_size) return ExpandStatus::kBadFooter;
  const uint64_t growth = LoadLe32(buffer + image_size - 4);
  if (growth > capacity - image_size) return ExpandStatus::kTooLarge;
  const size_t size = image_size + static_cast<size_t>(growth);
  const size_t bottom = image_size - region;  // the raw prefix ends here

  // Unread stream bytes are [bottom, rd); written output is [wr, size).
  // wr >= rd holds throughout.
  size_t rd = image_size - footer;
  size_t wr = size;
  while (wr > bottom) {
    if (rd <= bottom) return ExpandStatus::kStreamOverrun;
    const unsigned flags = buffer[--rd];
    for (int bit = 7; bit >= 0 && wr > bottom; --bit) {
      if ((flags >> bit) & 1) {
        if (rd - bottom < 2) return ExpandStatus::kStreamOverrun;
        const unsigned hi = buffer[rd - 1];
        const unsigned lo = buffer[rd - 2];
        rd -= 2;
        const size_t length = (hi >> 4) + 3;
        const size_t distance = (((hi & 0x0F) << 8) | lo) + 3;
        if (length > wr - rd) return ExpandStatus::kOverwrite;
        if (distance > size - wr) return ExpandStatus::kBadDistance;
        for (size_t i = 0; i < length; ++i) {
          --wr;
          buffer[wr] = buffer[wr + distance];
        }
      } else {
        if (rd <= bottom) return ExpandStatus::kStreamOverrun;
        // wr >= rd + 1 here, so the write lands at or above the byte just read.
        const uint8_t byte = buffer[--rd];
        buffer[--wr] = byte;
      }
    }
  }
  *expanded_size = size;
  return ExpandStatus::kOk;
}

}  // namespace backlz
