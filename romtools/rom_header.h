// The header at the start of a ROM image (.srl): named offsets of the fields
// the tools read, and little-endian readers for them. Multi-byte fields are
// little-endian whatever the host is.
#pragma once

#include <cstddef>
#include <cstdint>

namespace romtools {

/// Offsets from the start of the image.
constexpr size_t kGameTitleOffset = 0x00;  // 12 bytes
constexpr size_t kGameTitleSize = 12;
constexpr size_t kGameCodeOffset = 0x0C;  // 4 bytes
constexpr size_t kGameCodeSize = 4;
constexpr size_t kMakerCodeOffset = 0x10;  // 2 bytes
constexpr size_t kMakerCodeSize = 2;
constexpr size_t kBootFlagsOffset = 0x12;  // 8 bits; bit 1 picks the child-boot clear offset
constexpr size_t kArm9RomOffset = 0x20;
constexpr size_t kArm9EntryAddress = 0x24;
constexpr size_t kArm9LoadAddress = 0x28;
constexpr size_t kArm9Size = 0x2C;
constexpr size_t kArm7RomOffset = 0x30;
constexpr size_t kArm7EntryAddress = 0x34;
constexpr size_t kArm7LoadAddress = 0x38;
constexpr size_t kArm7Size = 0x3C;
constexpr size_t kRecordedImageSize = 0x80;  // 32 bits

/// Bytes up to the end of the ARM7 size field: every static-segment field.
constexpr size_t kSegmentHeaderSize = 0x40;
/// Bytes up to the end of the recorded image size.
constexpr size_t kRecordedSizeEnd = kRecordedImageSize + 4;

/// One static segment (ARM9 or ARM7) as the header describes it.
struct StaticSegment {
  uint32_t rom_offset = 0;
  uint32_t entry_address = 0;
  uint32_t load_address = 0;
  uint32_t size = 0;

  /// The offset just past the segment, without wrapping.
  uint64_t End() const { return static_cast<uint64_t>(rom_offset) + size; }
};

/// The 32-bit little-endian field at `offset` of `header`.
uint32_t HeaderWord(const uint8_t* header, size_t offset);

/// The ARM9 and ARM7 segments of a header of at least kSegmentHeaderSize bytes.
StaticSegment Arm9Segment(const uint8_t* header);
StaticSegment Arm7Segment(const uint8_t* header);

}  // namespace romtools
