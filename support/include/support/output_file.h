// The output writer every tool uses for the files it creates. It prints
// nothing and never exits: results are codes, and the caller words the message.
#pragma once

#include <cstddef>
#include <string>

#include "support/file_io.h"

namespace support {

/// An output file written in pieces.
///
/// The common case, a new file or an existing regular one with a single
/// name, owned by the user, in a folder the user may write, is written under
/// a short temporary name in the same folder (".out-" and six characters, so
/// any valid file name works) and renamed into place by Commit(): a failed or
/// abandoned run leaves the old file (or no file) behind, and the file keeps
/// its permission bits and group. SIGINT, SIGTERM, SIGHUP and SIGQUIT
/// remove a live temporary file and then end the process as the signal would
/// have (unless the program ignores or handles the signal itself). SIGXFSZ,
/// which a write past the user's file size limit brings, is ignored (unless
/// handled), so that the write fails and the tool reports it.
///
/// Everything else is written through, in place, because replacing it would
/// change what the user has: standard output and any descriptor named
/// /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N (the descriptor
/// itself is written), pipes, FIFOs and devices, a file with other hard
/// links, a file owned by someone else, a file in a folder the user may not
/// write. Pipes, devices and descriptors get the bytes as they come: a failed
/// run can leave them partly written; writes_through() tells. A regular file
/// written in place gets its bytes only at Commit(), from a nameless file in
/// the temporary folder that holds them meanwhile: a run that fails or is
/// abandoned before leaves it as it was (only a failure while it is copied
/// at Commit() leaves it partly written). When the temporary folder cannot
/// hold such a file, the file is emptied at Open() and written through.
///
/// A symbolic link is followed and the file it names is written; the link
/// stays. A dangling link creates the file it names, as a shell redirection
/// would (kCannotOpen when that cannot be created). A link loop, a folder, a
/// file the user may not write and a descriptor not open for writing are
/// refused with kCannotOpen, and nothing is touched.
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

  /// Opens `path` for writing (see above); kCannotOpen when it cannot be written.
  WriteStatus Open(const std::string& path);
  /// Appends `size` bytes; false once any write has failed (later writes
  /// are ignored and Commit() reports kWriteError).
  bool Write(const void* data, size_t size);
  /// Closes the file and puts it in place. Anything but kOk leaves no
  /// temporary file and the old file untouched (unless written through).
  WriteStatus Commit();
  /// Closes and removes the temporary file, if any.
  void Abandon();
  /// True when the bytes go straight to the output as they are written (see
  /// above): a failure can then leave it partly written.
  bool writes_through() const { return temp_path_.empty() && stage_fd_ < 0 && fd_ >= 0; }

 private:
  WriteStatus OpenStaged(const std::string& target);
  // What each system does its own way (output_file_<system>.cc); the rest
  // of the writer's life is shared (output_file.cc).
  /// Opens a non-empty `path` (see Open()), the cleanup handlers installed.
  WriteStatus OpenNamed(const std::string& path);
  /// Opens an existing `target` to write into as it is.
  WriteStatus OpenThrough(const std::string& target);
  /// A nameless file for the staged bytes (-1 when there is none).
  static int OpenStageDescriptor();
  /// Empties the file opened in place.
  bool EmptyTarget();
  static bool WriteAllTo(int fd, const void* data, size_t size);
  static bool CloseDescriptor(int fd);
  /// Copies the staged bytes into the file written in place.
  bool CopyStageIntoTarget();
  /// With `keep`, puts the temporary file in place (false when it cannot);
  /// otherwise, or when that fails, removes it. Either way the signal
  /// handler forgets it.
  bool FinishTemp(bool keep);

  int fd_ = -1;
  int stage_fd_ = -1;   // the bytes of a file written in place, until Commit()
  int temp_slot_ = -1;  // entry in the table the signal handler cleans up
  bool failed_ = false;
  std::string final_path_;
  std::string temp_path_;
};

}  // namespace support
