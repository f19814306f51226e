#include "child_boot.h"

#include <algorithm>
#include <cstring>

#include "file_helpers.h"
#include "rom_header.h"
#include "support/byte_order.h"

namespace romtools {

ChildBootCheck BuildChildBootImage(const ChildBootSettings& settings, std::vector<uint8_t>* rom,
                                   const std::vector<uint8_t>& syscall, ChildBootPlan* plan) {
  const int64_t rom_size = static_cast<int64_t>(rom->size());
  const int64_t syscall_size = static_cast<int64_t>(syscall.size());
  if (rom_size < syscall_size) return ChildBootCheck::kRomSmallerThanSyscall;
  if (syscall_size < settings.insert_size) return ChildBootCheck::kSyscallSmallerThanInsert;
  if (rom->size() < kSegmentHeaderSize) return ChildBootCheck::kRomSmallerThanHeader;
  const uint8_t* header = rom->data();

  const int64_t default_clear = (header[kBootFlagsOffset] & 0x02) ? kClearOffsetBitSet : kClearOffsetBitClear;
  const int64_t clear_offset = settings.clear_offset < 0 ? default_clear : settings.clear_offset;
  const int64_t insert_offset = settings.insert_offset;
  const int64_t insert_size = settings.insert_size;
  const int64_t clear_size = settings.clear_size;
  plan->clear_offset = clear_offset;
  plan->insert_end = insert_offset + insert_size;
  plan->clear_end = clear_offset + clear_size;

  // A clear offset of its own choosing must start a section: the word
  // before it belongs to the parent's and must be empty.
  if (clear_offset != default_clear && clear_offset >= 4 && clear_offset <= rom_size &&
      support::LoadLe32(header + clear_offset - 4) != 0) {
    return ChildBootCheck::kParentSection;
  }
  if (insert_offset < 0 || insert_size < 0 || plan->insert_end > rom_size) return ChildBootCheck::kInsertOutOfRange;
  if (clear_size < 0 || plan->clear_end > rom_size) return ChildBootCheck::kClearOutOfRange;

  plan->segments_end = std::max(Arm9Segment(header).End(), Arm7Segment(header).End());
  plan->output_length = settings.full_output ? rom->size() : plan->segments_end;
  if (plan->output_length > rom->size()) return ChildBootCheck::kSegmentsBeyondImage;

  filehelp::MoveBytes(syscall.data(), rom->data() + insert_offset, static_cast<size_t>(insert_size));
  memset(rom->data() + clear_offset, 0, static_cast<size_t>(clear_size));
  return ChildBootCheck::kOk;
}

}  // namespace romtools
