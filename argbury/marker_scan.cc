#include "marker_scan.h"

#include <algorithm>
#include <cstring>

namespace argbury {
namespace {

// The first marker in [data, data + size), or null. The marker begins with
// ':', which is rare in image data: memchr skips to each candidate quickly,
// and only there are the 16 bytes compared.
const uint8_t* FindMarker(const uint8_t* data, size_t size) {
  if (size < kMarkerLength) return nullptr;
  const uint8_t* const last = data + size - kMarkerLength;  // the last place a marker can begin
  for (const uint8_t* p = data; p <= last; ++p) {
    p = static_cast<const uint8_t*>(std::memchr(p, kArgumentMarker[0], static_cast<size_t>(last - p) + 1));
    if (p == nullptr) return nullptr;
    if (std::memcmp(p, kArgumentMarker, kMarkerLength) == 0) return p;
  }
  return nullptr;
}

}  // namespace

bool MarkerScanner::Feed(const uint8_t* data, size_t size) {
  if (found_) return true;
  if (size == 0) return false;
  constexpr size_t kKeep = kMarkerLength - 1;
  // A marker that straddles the boundary: it starts in the tail.
  uint8_t seam[2 * kKeep];
  const size_t head = std::min(size, kKeep);
  std::memcpy(seam, tail_, tail_size_);
  std::memcpy(seam + tail_size_, data, head);
  if (const uint8_t* hit = FindMarker(seam, tail_size_ + head)) {
    found_ = true;
    offset_ = consumed_ - tail_size_ + static_cast<uint64_t>(hit - seam);
    return true;
  }
  if (const uint8_t* hit = FindMarker(data, size)) {
    found_ = true;
    offset_ = consumed_ + static_cast<uint64_t>(hit - data);
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
