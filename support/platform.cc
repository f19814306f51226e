// The parts of the platform layer that every system shares: they are built
// on the system's own functions in the sibling files.
#include <utility>

#include "support/platform.h"

namespace support {

bool IsSameRegularFile(const std::string& a, const std::string& b) {
  FileIdentity ia;
  FileIdentity ib;
  return StatFile(a, &ia) == FileKind::kRegular && StatFile(b, &ib) == FileKind::kRegular && ia == ib;
}

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    owned_ = other.owned_;
    regular_ = other.regular_;
    size_ = other.size_;
    identity_ = other.identity_;
    other.handle_ = -1;
  }
  return *this;
}

bool File::Close() {
  bool ok = true;
  if (handle_ >= 0 && owned_) ok = CloseNative(handle_);
  handle_ = -1;
  regular_ = false;
  size_ = 0;
  identity_ = FileIdentity();
  return ok;
}

}  // namespace support
