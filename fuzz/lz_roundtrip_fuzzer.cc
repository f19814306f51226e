// Compresses arbitrary bytes and expands the image again in place, in a
// buffer of exactly the original size: any input is either refused (and left
// unchanged) or comes back byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lz_backward.h"
#include "lz_expand.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 18)) return 0;
  // The encoder wants a buffer that starts on a 4-byte boundary.
  std::vector<uint32_t> words(size / 4 + 1);
  uint8_t* buffer = reinterpret_cast<uint8_t*>(words.data());
  if (size > 0) std::memcpy(buffer, data, size);
  const int image = backlz::CompressBackward(buffer, static_cast<int>(size));
  if (image < 0) {
    if (size > 0 && std::memcmp(buffer, data, size) != 0) __builtin_trap();  // refused: unchanged
    return 0;
  }
  if (static_cast<size_t>(image) >= size || image % 4 != 0) __builtin_trap();
  size_t expanded = 0;
  if (backlz::ExpandBackwardInPlace(buffer, size, static_cast<size_t>(image), &expanded) !=
          backlz::ExpandStatus::kOk ||
      expanded != size || std::memcmp(buffer, data, size) != 0) {
    __builtin_trap();
  }
  return 0;
}
