#include "image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

namespace romtools {

ImageFile::~ImageFile() {
  if (fd_ >= 0) close(fd_);
}

bool ImageFile::Open(const std::string& path) {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  size_ = 0;
  // Non-blocking, so that a named pipe without a writer cannot hang the open;
  // its status then refuses it.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    close(fd);
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

ssize_t ImageFile::ReadAt(uint64_t offset, void* buffer, size_t length) const {
  if (fd_ < 0) return -1;
  uint8_t* p = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < length) {
    const ssize_t n = pread(fd_, p + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

CopyStatus CopyRange(const ImageFile& in, uint64_t offset, uint64_t length, support::OutputFile* out) {
  const size_t block = static_cast<size_t>(std::min<uint64_t>(length, kBlockSize));
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[block > 0 ? block : 1]);
  if (!buffer) return CopyStatus::kReadError;
  while (length > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(length, block));
    const ssize_t got = in.ReadAt(offset, buffer.get(), want);
    if (got != static_cast<ssize_t>(want)) return CopyStatus::kReadError;
    if (!out->Write(buffer.get(), want)) return CopyStatus::kWriteError;
    offset += want;
    length -= want;
  }
  return CopyStatus::kOk;
}

}  // namespace romtools
