#include "child_boot.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "file_helpers.h"
#include "rom_header.h"
#include "support/byte_order.h"
#include "support/text_parse.h"

namespace romtools {

bool ParseSettingValue(const char* text, int* value) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  if (*p == '\0') return false;
  // One past the largest magnitude an int holds, so that the loop stops long
  // before the sum could overflow.
  constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; *p != '\0'; ++p) {
    const int digit = support::HexDigitValue(*p);
    if (digit < 0 || digit >= base) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > kLimit) return false;
  }
  const long long signed_value = negative ? -magnitude : magnitude;
  if (signed_value > INT_MAX) return false;
  *value = static_cast<int>(signed_value);
  return true;
}

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
