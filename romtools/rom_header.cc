#include "rom_header.h"

#include "support/byte_order.h"

namespace romtools {

uint32_t HeaderWord(const uint8_t* header, size_t offset) { return support::LoadLe32(header + offset); }

namespace {

// Both segments hold four words in one order: ROM offset, entry address,
// load address, size.
StaticSegment SegmentAt(const uint8_t* header, size_t rom_offset_field) {
  static_assert(kArm9EntryAddress == kArm9RomOffset + 4 && kArm9LoadAddress == kArm9RomOffset + 8 &&
                    kArm9Size == kArm9RomOffset + 12,
                "ARM9 fields in order");
  static_assert(kArm7EntryAddress == kArm7RomOffset + 4 && kArm7LoadAddress == kArm7RomOffset + 8 &&
                    kArm7Size == kArm7RomOffset + 12,
                "ARM7 fields in order");
  StaticSegment s;
  s.rom_offset = HeaderWord(header, rom_offset_field);
  s.entry_address = HeaderWord(header, rom_offset_field + 4);
  s.load_address = HeaderWord(header, rom_offset_field + 8);
  s.size = HeaderWord(header, rom_offset_field + 12);
  return s;
}

}  // namespace

StaticSegment Arm9Segment(const uint8_t* header) { return SegmentAt(header, kArm9RomOffset); }

StaticSegment Arm7Segment(const uint8_t* header) { return SegmentAt(header, kArm7RomOffset); }

}  // namespace romtools
