// In-place expansion of a backward-LZ image, the way the console does it,
// with every step checked so that a malformed image is refused instead of
// making the expander read or write outside its buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace backlz {

enum class ExpandStatus {
  kOk,
  kBadFooter,      // image shorter than its footer, or footer lengths that do not fit the image
  kTooLarge,       // the expanded data would not fit the buffer
  kStreamOverrun,  // a flag byte or token lies below the start of the stream
  kBadDistance,    // a match copies from above the end of the expanded data
  kOverwrite,      // a write would land on stream bytes not yet read
};

/// Expands the `image_size`-byte image at the start of `buffer`, which holds
/// `capacity` bytes, in place. On kOk `*expanded_size` is the size of the
/// expanded data, now at the start of the buffer. On any other result the
/// buffer may hold partial output, but nothing outside [0, capacity) was
/// read or written.
ExpandStatus ExpandBackwardInPlace(uint8_t* buffer, size_t capacity, size_t image_size,
                                   size_t* expanded_size);

}  // namespace backlz
