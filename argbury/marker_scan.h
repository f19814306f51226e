// The marker that announces a first-generation image's argument area, and a
// search for it over data that arrives in blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace argbury {

inline constexpr char kArgumentMarker[] = ":$@$Argument$@$:";
constexpr size_t kMarkerLength = sizeof kArgumentMarker - 1;

/// Finds the first occurrence of the marker in a stream fed block by block,
/// whatever the block boundaries. The marker's only border is its single
/// ':' at either end, so no occurrence can begin inside a partial match
/// that failed: the first occurrence is also what a byte-by-byte comparison
/// that restarts at the failing byte finds.
class MarkerScanner {
 public:
  /// Scans the next `size` bytes; true once the marker has been found
  /// (further calls then do nothing and return true).
  bool Feed(const uint8_t* data, size_t size);
  bool found() const { return found_; }
  /// Offset of the marker's first byte from the start of the stream.
  uint64_t offset() const { return offset_; }

 private:
  // The last bytes seen, which may begin a marker that the next block ends.
  uint8_t tail_[kMarkerLength - 1] = {};
  size_t tail_size_ = 0;
  uint64_t consumed_ = 0;
  bool found_ = false;
  uint64_t offset_ = 0;
};

}  // namespace argbury
