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

/// Reads `path` whole, in binary mode, into `data`. Only regular files are
/// read (kNotRegular otherwise); a named pipe never makes it wait.
ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data);

/// What ReadWholeFile learnt about a file, also when it refused it.
struct FileFacts {
  bool is_directory = false;
  uint64_t size = 0;  // the size its status gives; 0 when unknown
};

/// The same, refusing a file of more than `max_size` bytes with kNoMemory
/// before reading anything, and telling `*facts` (when given).
ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, uint64_t max_size,
                         FileFacts* facts);

/// How writing an output file ended.
enum class WriteStatus {
  kOk,
  kCannotOpen,  // the file (or its temporary twin) could not be created or put in place
  kWriteError,  // not every byte could be written
  kCloseError,  // every byte was written but closing the file failed
};

/// Writes `size` bytes to `path` through an OutputFile (output_file.h): a
/// new or replaceable regular file under a temporary name renamed into place
/// once every byte is out, so a failure leaves the old file untouched;
/// descriptors, pipes, devices, files with other links or owners and files in
/// folders the user may not write are written through in place. A link loop,
/// a folder or a file the user may not write is refused (kCannotOpen).
WriteStatus WriteOutputFile(const std::string& path, const void* data, size_t size);

/// Flushes standard output; false when anything written to it so far has
/// failed. A tool checks this before it commits an output, so that a run
/// that ends with a failure status leaves no new output behind.
bool FlushStdout();

/// Flushes and checks standard output at exit: a failed write turns a
/// successful `status` into 1 and writes `failure_message` (the tool's own
/// words) to standard error.
int CloseStdout(int status, const char* failure_message);

}  // namespace support
