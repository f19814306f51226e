#include "cart_slices.h"

#include "support/byte_order.h"

namespace romtools {

void FillDefinitionRecord(const StaticSegment& segment, uint32_t entry_address, uint8_t out[kDefinitionRecordSize]) {
  support::StoreLe32(out, segment.load_address);
  support::StoreLe32(out + 4, entry_address);
  support::StoreLe32(out + 8, segment.size);
  support::StoreLe32(out + 12, 0);
}

}  // namespace romtools
