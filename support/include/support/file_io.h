// Small file helpers shared by the command-line tools. They print nothing and
// never exit: results are codes, and the caller words the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace support {

/// Result of reading a whole file.
enum class ReadStatus { kOk, kCannotOpen, kNotRegular, kReadError };

/// Reads `path` whole, in binary mode, into `data`.
ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data);

/// Writes `size` bytes to `path` through a temporary file in the same folder
/// that is renamed over `path` only once every byte is written and flushed, so
/// a failure never leaves a partial or truncated file behind. Returns false on
/// failure (errno tells why) and removes the temporary file.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);

/// Flushes and checks standard output at exit: a failed write turns a
/// successful `status` into 1.
int CloseStdout(int status);

}  // namespace support
