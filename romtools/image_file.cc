#include "image_file.h"

#include <algorithm>
#include <memory>
#include <new>

namespace romtools {

bool OpenImage(const std::string& path, support::File* file) {
  return file->Open(path, support::File::Mode::kReadRegular) == support::File::OpenStatus::kOk;
}

CopyStatus CopyRange(const support::File& in, uint64_t offset, uint64_t length, support::OutputFile* out) {
  const size_t block = static_cast<size_t>(std::min<uint64_t>(length, kBlockSize));
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[block > 0 ? block : 1]);
  if (!buffer) return CopyStatus::kReadError;
  while (length > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(length, block));
    if (in.ReadAt(offset, buffer.get(), want) != static_cast<long long>(want)) return CopyStatus::kReadError;
    if (!out->Write(buffer.get(), want)) return CopyStatus::kWriteError;
    offset += want;
    length -= want;
  }
  return CopyStatus::kOk;
}

}  // namespace romtools
