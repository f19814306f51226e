// The child-boot image: a ROM image with a new system-call image inserted at
// one place and a second area cleared, cut by default to the header and the
// static ARM9 and ARM7 segments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace romtools {

/// The two default clear offsets, picked by bit 1 of header byte 0x12.
constexpr int kClearOffsetBitClear = 0x5000;
constexpr int kClearOffsetBitSet = 0x5400;

/// Settings of one run. A negative clear offset means the default one.
struct ChildBootSettings {
  int insert_offset = 0x4000;
  int insert_size = 0x800;
  int clear_offset = -1;
  int clear_size = 0x2000;
  bool full_output = false;
};

/// The first check that failed, in the order they are made.
enum class ChildBootCheck {
  kOk,
  kRomSmallerThanSyscall,
  kSyscallSmallerThanInsert,
  kRomSmallerThanHeader,
  kParentSection,  // the word before a non-default clear offset is not zero
  kInsertOutOfRange,
  kClearOutOfRange,
  kSegmentsBeyondImage,  // the static segments end past the image
};

/// What a run used and found; the ends are sums taken without wrapping.
struct ChildBootPlan {
  int64_t clear_offset = 0;  // after the default is applied
  int64_t insert_end = 0;
  int64_t clear_end = 0;
  uint64_t segments_end = 0;
  uint64_t output_length = 0;
};

/// Reads a setting as typed on the command line: a decimal number (white
/// space and a sign may lead it, as for atoi) or a 0x-prefixed hexadecimal
/// one, with nothing after it and within the range of int. False, with
/// `*value` unchanged, for anything else.
bool ParseSettingValue(const char* text, int* value);

/// Checks the settings against `rom` and `syscall`, then inserts the first
/// insert_size bytes of `syscall` into `rom` at insert_offset and clears
/// clear_size bytes at the clear offset (the clear wins where they meet).
/// `rom` is changed only when the result is kOk; `plan` is filled as far as
/// the checks went.
ChildBootCheck BuildChildBootImage(const ChildBootSettings& settings, std::vector<uint8_t>* rom,
                                   const std::vector<uint8_t>& syscall, ChildBootPlan* plan);

}  // namespace romtools
