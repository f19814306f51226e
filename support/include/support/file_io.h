// Small file helpers shared by the command-line tools. They print nothing and
// never exit: results are codes, and the caller words the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace support {

/// Result of reading a whole file.
enum class ReadStatus { kOk, kCannotOpen, kNotRegular, kReadError, kNoMemory };

/// Reads `path` whole, in binary mode, into `data`.
ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data);

/// How writing an output file ended.
enum class WriteStatus {
  kOk,
  kCannotOpen,  // the file (or its temporary twin) could not be created or put in place
  kWriteError,  // not every byte could be written
  kCloseError,  // every byte was written but closing the file failed
};

/// Writes `size` bytes to `path`. A regular file (new or existing) is written
/// under a temporary name in its folder and renamed over the old one once
/// every byte is out, so a failure leaves the old file untouched; an existing
/// file keeps its permission bits, and one the user may not write to is
/// refused (kCannotOpen). A symbolic link is followed and the file it names
/// is written; the link stays. A device or pipe is written through directly,
/// never replaced. A folder is refused (kCannotOpen).
WriteStatus WriteOutputFile(const std::string& path, const void* data, size_t size);

/// Flushes and checks standard output at exit: a failed write turns a
/// successful `status` into 1 and writes `failure_message` (the tool's own
/// words) to standard error.
int CloseStdout(int status, const char* failure_message);

}  // namespace support
