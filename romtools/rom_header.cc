#include "rom_header.h"

#include "support/byte_order.h"

namespace romtools {

uint32_t HeaderWord(const uint8_t* header, size_t offset) { return support::LoadLe32(header + offset); }

StaticSegment Arm9Segment(const uint8_t* header) {
  StaticSegment s;
  s.rom_offset = HeaderWord(header, kArm9RomOffset);
  s.entry_address = HeaderWord(header, kArm9EntryAddress);
  s.load_address = HeaderWord(header, kArm9LoadAddress);
  s.size = HeaderWord(header, kArm9Size);
  return s;
}

StaticSegment Arm7Segment(const uint8_t* header) {
  StaticSegment s;
  s.rom_offset = HeaderWord(header, kArm7RomOffset);
  s.entry_address = HeaderWord(header, kArm7EntryAddress);
  s.load_address = HeaderWord(header, kArm7LoadAddress);
  s.size = HeaderWord(header, kArm7Size);
  return s;
}

}  // namespace romtools
