#include "marker_scan.h"

#include <algorithm>
#include <cstring>
#include <string.h>  // memmem

namespace argbury {

bool MarkerScanner::Feed(const uint8_t* data, size_t size) {
  if (found_) return true;
  if (size == 0) return false;
  constexpr size_t kKeep = kMarkerLength - 1;
  // A marker that straddles the boundary: it starts in the tail.
  uint8_t seam[2 * kKeep];
  const size_t head = std::min(size, kKeep);
  std::memcpy(seam, tail_, tail_size_);
  std::memcpy(seam + tail_size_, data, head);
  if (const void* hit = memmem(seam, tail_size_ + head, kArgumentMarker, kMarkerLength)) {
    found_ = true;
    offset_ = consumed_ - tail_size_ + static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - seam);
    return true;
  }
  if (const void* hit = memmem(data, size, kArgumentMarker, kMarkerLength)) {
    found_ = true;
    offset_ = consumed_ + static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - data);
    return true;
  }
  if (size >= kKeep) {
    std::memcpy(tail_, data + size - kKeep, kKeep);
    tail_size_ = kKeep;
  } else {
    const size_t keep = std::min(kKeep, tail_size_ + size);
    std::memcpy(tail_, seam + tail_size_ + size - keep, keep);
    tail_size_ = keep;
  }
  consumed_ += size;
  return false;
}

}  // namespace argbury
