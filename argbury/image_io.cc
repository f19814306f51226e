#include "image_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "marker_scan.h"

namespace argbury {
namespace {

// A block buffer on a page boundary: the kernel copies between it and the
// page cache several times faster than from a buffer a few bytes off one.
struct Block {
  Block() : data(static_cast<uint8_t*>(std::aligned_alloc(kPageSize, kBlockSize))) {}
  ~Block() { std::free(data); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  static constexpr size_t kPageSize = 4096;
  uint8_t* data;
};

}  // namespace

int OpenRegularFile(const char* path, int flags) {
  const int fd = open(path, flags | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

long long ReadUpTo(int fd, void* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = read(fd, static_cast<uint8_t*>(data) + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<long long>(got);
}

long long ReadAt(int fd, uint64_t offset, void* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = pread(fd, static_cast<uint8_t*>(data) + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<long long>(got);
}

IoStatus FindMarkerInFile(int fd, uint64_t* offset, const ByteSink* copy, uint64_t* copied) {
  Block block;
  if (block.data == nullptr) return IoStatus::kReadError;
  MarkerScanner scanner;
  uint64_t at = 0;
  for (;;) {
    const long long n = ReadAt(fd, at, block.data, kBlockSize);
    if (n < 0) return IoStatus::kReadError;
    if (n == 0) return IoStatus::kNotFound;
    const bool found = scanner.Feed(block.data, static_cast<size_t>(n));
    // Nothing before the area changes: the blocks before the one where the
    // marker ends go to the copy as they are. The copy goes on from a block
    // boundary, so that file offsets and buffer stay page-aligned.
    if (copy != nullptr && !found) {
      if (!(*copy)(block.data, static_cast<size_t>(n))) return IoStatus::kWriteError;
      *copied += static_cast<uint64_t>(n);
    }
    if (found) {
      *offset = scanner.offset();
      return IoStatus::kOk;
    }
    at += static_cast<uint64_t>(n);
  }
}

bool WriteAt(int fd, uint64_t offset, const void* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n =
        pwrite(fd, static_cast<const uint8_t*>(data) + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

IoStatus CopyWithArea(int fd, uint64_t start, uint64_t at, const uint8_t* area, size_t count, const ByteSink& sink,
                      uint64_t* copied) {
  Block block;
  if (block.data == nullptr) return IoStatus::kReadError;
  const uint64_t end = at + count;
  uint64_t pos = start;
  for (;;) {
    const long long n = ReadAt(fd, pos, block.data, kBlockSize);
    if (n < 0) return IoStatus::kReadError;
    if (n == 0) return IoStatus::kOk;
    const uint64_t block_end = pos + static_cast<uint64_t>(n);
    const uint64_t from = std::max(pos, at);
    const uint64_t to = std::min(block_end, end);
    if (from < to) std::memcpy(block.data + (from - pos), area + (from - at), to - from);
    if (!sink(block.data, static_cast<size_t>(n))) return IoStatus::kWriteError;
    *copied += static_cast<uint64_t>(n);
    pos = block_end;
  }
}

}  // namespace argbury
