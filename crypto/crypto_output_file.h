// Writing a tool's output file without harming what the path already names.
#pragma once

#include <cstddef>
#include <string>

namespace crypto_io {

/// How writing an output file ended.
enum class WriteStatus {
  kOk,
  kCannotOpen,  // the file (or its temporary twin) could not be created or put in place
  kWriteError,  // not every byte could be written
};

/// Writes `size` bytes to `path`. A regular file (new or existing) is written
/// under a temporary name in its folder and renamed over the old one once
/// every byte is out, so a failure leaves the old file untouched; an existing
/// file keeps its permission bits, and one the user may not write to is
/// refused (kCannotOpen). A symbolic link is followed and the file it
/// names is written, the link stays. A device or pipe is written through
/// directly, never replaced.
WriteStatus WriteOutputFile(const std::string& path, const void* data, size_t size);

}  // namespace crypto_io
