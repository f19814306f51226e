// The marker search as the format describes it, one byte at a time: the
// reference that the block-wise search is compared with and benchmarked against.
#pragma once

#include <cstddef>
#include <cstdint>

#include "marker_scan.h"

namespace argbury_reference {

/// Offset of the first marker in `data`, or -1. After a mismatch that ends a
/// partial match, the same byte is tested against the marker's first character.
inline long long LiteralFindMarker(const uint8_t* data, size_t size) {
  size_t matched = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != static_cast<uint8_t>(argbury::kArgumentMarker[matched])) {
      matched = 0;
      if (data[i] != static_cast<uint8_t>(argbury::kArgumentMarker[0])) continue;
    }
    if (++matched == argbury::kMarkerLength) return static_cast<long long>(i + 1 - argbury::kMarkerLength);
  }
  return -1;
}

}  // namespace argbury_reference
