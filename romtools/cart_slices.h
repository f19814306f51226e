// The ARM9 and ARM7 binaries sliced from a ROM image and the 16-byte
// definition record written beside each.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rom_header.h"

namespace romtools {

/// The entry addresses a definition record accepts (inclusive); any other
/// is replaced by the load address.
struct EntryBounds {
  uint32_t lowest;
  uint32_t highest;
};
constexpr EntryBounds kArm9EntryBounds = {0x2004000, 0x2007FFF};
constexpr EntryBounds kArm7EntryBounds = {0x37F8000, 0x380FFFF};

constexpr size_t kDefinitionRecordSize = 16;

/// True when `address` lies within `bounds`.
inline bool InBounds(uint32_t address, EntryBounds bounds) {
  return address >= bounds.lowest && address <= bounds.highest;
}

/// Fills `out` with load address, `entry_address`, size and a zero word,
/// each 32-bit little-endian.
void FillDefinitionRecord(const StaticSegment& segment, uint32_t entry_address, uint8_t out[kDefinitionRecordSize]);

}  // namespace romtools
