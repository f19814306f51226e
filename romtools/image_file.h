// Block-wise access to a ROM image on disk: the tools that only look at a
// header and a few ranges of a large image read it in blocks instead of
// holding it whole.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/output_file.h"

namespace romtools {

/// Bytes read or copied at a time: small enough to stay in the cache between
/// the read and the write of a copy.
constexpr size_t kBlockSize = 1 << 17;

/// A regular file opened for reading.
class ImageFile {
 public:
  ImageFile() = default;
  ~ImageFile();
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  /// Opens `path`; false when it cannot be opened or is not a regular file
  /// (a pipe or device is refused, never waited on).
  bool Open(const std::string& path);
  /// The size when opened.
  uint64_t size() const { return size_; }
  /// Reads up to `length` bytes at `offset`: the count read, less than
  /// `length` only at the end of the file, or -1 on a read error.
  ssize_t ReadAt(uint64_t offset, void* buffer, size_t length) const;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

/// How a copy of a range ended.
enum class CopyStatus { kOk, kReadError, kWriteError };

/// Appends `length` bytes of `in` from `offset` to `out`, a block at a time.
/// Bytes the file does not have count as a read error.
CopyStatus CopyRange(const ImageFile& in, uint64_t offset, uint64_t length, support::OutputFile* out);

}  // namespace romtools
