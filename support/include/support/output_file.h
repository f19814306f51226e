// The output writer every tool uses for the files it creates. It prints
// nothing and never exits: results are codes, and the caller words the message.
#pragma once

#include <cstddef>
#include <string>

#include "support/file_io.h"

namespace support {

/// An output file written in pieces. A regular file (new, or existing and
/// writable) is written under a temporary name in its folder and put in
/// place by Commit(), so a failed or abandoned run leaves the old file (or
/// no file) behind; an existing file keeps its permission bits. A symbolic
/// link is followed and the file it names is written. A device or pipe is
/// written through directly, never replaced. A folder is refused.
///
///   support::OutputFile out;
///   if (out.Open(path) != WriteStatus::kOk) ...;
///   out.Write(a, n); out.Write(b, m);
///   if (out.Commit() != WriteStatus::kOk) ...;   // else nothing is kept
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // abandons an uncommitted file
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  /// Opens `path` for writing; kCannotOpen when it cannot be written.
  WriteStatus Open(const std::string& path);
  /// Appends `size` bytes; false once any write has failed (later writes
  /// are ignored and Commit() reports kWriteError).
  bool Write(const void* data, size_t size);
  /// Closes the file and puts it in place. Anything but kOk leaves no
  /// temporary file and the old file untouched (unless written through).
  WriteStatus Commit();
  /// Closes and removes the temporary file, if any.
  void Abandon();
  /// True when the output is written through in place (device, pipe,
  /// descriptor): a failure can then leave it partly written.
  bool writes_through() const { return temp_path_.empty() && fd_ >= 0; }

 private:
  int fd_ = -1;
  bool failed_ = false;
  std::string final_path_;
  std::string temp_path_;
};

}  // namespace support
