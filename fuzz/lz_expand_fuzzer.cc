// Feeds arbitrary bytes to the in-place expander as an image, in buffers of
// a few capacities; the sanitizers catch any access outside the buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lz_expand.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // The first byte picks how much room beyond the image the buffer offers.
  size_t extra = size > 0 ? data[0] * 17u : 0;
  for (size_t capacity : {size, size + extra, size + 4096}) {
    std::vector<uint8_t> buffer(capacity);
    if (size > 0) std::memcpy(buffer.data(), data, size);
    size_t expanded = 0;
    if (backlz::ExpandBackwardInPlace(buffer.data(), buffer.size(), size, &expanded) == backlz::ExpandStatus::kOk &&
        expanded > capacity) {
      __builtin_trap();
    }
  }
  return 0;
}
