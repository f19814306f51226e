#include "image_io.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "marker_scan.h"

namespace argbury {
namespace {

// A block buffer on a page boundary: the system copies between it and the
// page cache several times faster than from a buffer a few bytes off one.
class Block {
 public:
  Block() : storage_(new (std::nothrow) uint8_t[kBlockSize + kPageSize]) {
    if (!storage_) return;
    void* start = storage_.get();
    size_t space = kBlockSize + kPageSize;
    data_ = static_cast<uint8_t*>(std::align(kPageSize, kBlockSize, start, space));
  }
  /// The aligned block, or null when there was no memory for it.
  uint8_t* data() const { return data_; }

 private:
  static constexpr size_t kPageSize = 4096;
  std::unique_ptr<uint8_t[]> storage_;
  uint8_t* data_ = nullptr;
};

}  // namespace

IoStatus FindMarkerInFile(const support::File& file, uint64_t* offset, const ByteSink* copy, uint64_t* copied) {
  Block block;
  if (block.data() == nullptr) return IoStatus::kReadError;
  MarkerScanner scanner;
  uint64_t at = 0;
  for (;;) {
    const long long n = file.ReadAt(at, block.data(), kBlockSize);
    if (n < 0) return IoStatus::kReadError;
    if (n == 0) return IoStatus::kNotFound;
    const bool found = scanner.Feed(block.data(), static_cast<size_t>(n));
    // Nothing before the area changes: the blocks before the one where the
    // marker ends go to the copy as they are. The copy goes on from a block
    // boundary, so that file offsets and buffer stay page-aligned.
    if (copy != nullptr && !found) {
      if (!(*copy)(block.data(), static_cast<size_t>(n))) return IoStatus::kWriteError;
      *copied += static_cast<uint64_t>(n);
    }
    if (found) {
      *offset = scanner.offset();
      return IoStatus::kOk;
    }
    at += static_cast<uint64_t>(n);
  }
}

IoStatus CopyWithArea(const support::File& file, uint64_t start, uint64_t at, const uint8_t* area, size_t count,
                      const ByteSink& sink, uint64_t* copied) {
  Block block;
  if (block.data() == nullptr) return IoStatus::kReadError;
  const uint64_t end = at + count;
  uint64_t pos = start;
  for (;;) {
    const long long n = file.ReadAt(pos, block.data(), kBlockSize);
    if (n < 0) return IoStatus::kReadError;
    if (n == 0) return IoStatus::kOk;
    const uint64_t block_end = pos + static_cast<uint64_t>(n);
    const uint64_t from = std::max(pos, at);
    const uint64_t to = std::min(block_end, end);
    if (from < to) std::memcpy(block.data() + (from - pos), area + (from - at), to - from);
    if (!sink(block.data(), static_cast<size_t>(n))) return IoStatus::kWriteError;
    *copied += static_cast<uint64_t>(n);
    pos = block_end;
  }
}

}  // namespace argbury
