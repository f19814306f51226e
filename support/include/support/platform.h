// What the tools ask of the operating system, in one place: files opened for
// reading or for changes in place, positional reads and writes, file
// identity, binary standard streams, the interrupt, shared libraries loaded by
// file name, the running program's folder and the working folder.
//
// One header, one implementation file per system (platform_posix.cc, and a
// sibling for Windows), chosen by the build. Nothing here prints or exits:
// results are codes, and the caller words the message.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace support {

/// What a name stands for, as its status tells (links followed).
enum class FileKind { kMissing, kRegular, kDirectory, kOther };

/// The identity of a file: equal for every name of one file (another
/// spelling of its path, a symbolic or a hard link), different for two files.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};

/// The kind of what `path` names and, when it exists, its identity.
FileKind StatFile(const std::string& path, FileIdentity* identity = nullptr, uint64_t* size = nullptr);

/// True when `a` and `b` both name one existing regular file, however each
/// is spelt. Pipes and devices are never "the same file" as anything:
/// writing to them destroys no input. A descriptor named as a path
/// (/dev/stdout) is what it is open on: standard output redirected onto an
/// input file is that file.
bool IsSameRegularFile(const std::string& a, const std::string& b);

/// An open file, closed when the object goes.
class File {
 public:
  /// How a file may be opened.
  enum class Mode {
    kReadRegular,       // reading; folders, pipes and devices refused (never waited on)
    kReadWriteRegular,  // reading and writing in place, regular files only
    kReadAny,           // reading anything but a folder: pipes and devices too
  };
  enum class OpenStatus { kOk, kCannotOpen, kNotRegular, kIsDirectory };

  File() = default;
  ~File() { Close(); }
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  OpenStatus Open(const std::string& path, Mode mode);
  /// Standard input, read through this object (in binary mode).
  void OpenStandardInput();
  bool is_open() const { return handle_ >= 0; }
  /// The size at Open() for a regular file; 0 for anything else.
  uint64_t size() const { return size_; }
  bool is_regular() const { return regular_; }
  FileIdentity identity() const { return identity_; }

  /// Reads up to `size` bytes at the current position, fewer only at the
  /// end of the file: the count, or -1 on a read error.
  long long Read(void* data, size_t size);
  /// Reads up to `size` bytes at `offset` (regular files), fewer only at the
  /// end: the count, or -1 on a read error. The current position stays.
  long long ReadAt(uint64_t offset, void* data, size_t size) const;
  /// Writes all `size` bytes at `offset`; false on any failure.
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  /// Moves the current position to `offset`; false when it cannot.
  bool Seek(uint64_t offset);
  /// Closes the file; false when closing failed (harmless when not open).
  bool Close();

 private:
  // Closes a handle of this system's kind (platform_<system>.cc).
  static bool CloseNative(intptr_t handle);

  intptr_t handle_ = -1;
  bool owned_ = true;
  bool regular_ = false;
  uint64_t size_ = 0;
  FileIdentity identity_;
};

/// Writes all `size` bytes to standard output (after what stdio holds);
/// false on any failure.
bool WriteStandardOutput(const void* data, size_t size);

/// Switches `stream` (stdin or stdout) to binary mode, so that no byte is
/// translated or taken as the end of the file; a no-op on hosts without the
/// distinction.
void SetBinaryMode(std::FILE* stream);

/// Switches `stream` back to text mode, where a line ends as the system's
/// text files end it; a no-op on hosts without the distinction.
void SetTextMode(std::FILE* stream);

/// Sets `*flag` when the user interrupts the program (Ctrl-C; Ctrl-Break
/// too where there is one). Calls in progress are restarted, so that a
/// break does not cut a write short.
void CatchInterrupt(std::atomic<bool>* flag);

/// Sets the file size limit's signal aside (where the system has one), so
/// that a write past the limit fails and can be reported instead of ending
/// the process part of the way through.
void SetAsideFileSizeSignal();

/// Gives the program its arguments as UTF-8 text, whatever the system's
/// code page (on POSIX systems they already are; nothing changes).
void PrepareArguments(int* argc, char*** argv);

/// A shared library loaded by file name, released when the object goes.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary() { Release(); }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  /// Loads `file_name` where the system's loader finds it (on Windows the
  /// program's own folder first, then the system's folder and the folders
  /// of PATH, never the working folder), then from
  /// `fallback_folder` (relative to the running program's folder, or
  /// absolute) when the system's search did not find it there. False, with
  /// the loader's reason in `*why`, when it cannot be loaded.
  bool Load(const std::string& file_name, const std::string& fallback_folder, std::string* why);
  /// The address of the exported symbol `name`, or null.
  void* Find(const char* name) const;
  bool loaded() const { return handle_ != nullptr; }
  void Release();

 private:
  void* handle_ = nullptr;
};

/// The folder that holds the running program, without a final separator;
/// empty when the system cannot tell.
std::string ProgramFolder();

/// The working folder; empty when it cannot be told.
std::string CurrentFolder();

/// Makes `path` the working folder; false when it cannot.
bool ChangeFolder(const std::string& path);

/// The folder part of `path`: "." when it has none, the root when the file
/// lies in it. Separators and roots are the system's ('/'; on Windows also
/// '\\', drive letters and UNC prefixes).
std::string PathFolder(const std::string& path);

/// True for a path from a root (and a drive, where there are drives).
bool IsAbsolutePath(const std::string& path);

/// `path` from the root: the working folder in front of a relative path, so
/// that a later change of folder (or a signal arriving then) still finds it.
/// (On Windows also a path from the working drive's root or from a drive's
/// working folder, "\dir" or "C:dir", and "." and ".." are resolved.)
std::string AbsolutePath(const std::string& path);

/// `folder` and `name` joined with the system's separator (on Windows the
/// one `folder` uses; a slash, which Windows takes as well, when it has
/// none, so that a relative path reads as it does on other systems).
std::string JoinPath(const std::string& folder, const std::string& name);

// Scratch files (aescli sets standard input aside in one when it must know
// its length before it starts).

/// A nameless file for reading and writing in the system's temporary
/// folder, gone once it is closed or the program ends: room for data too
/// large to hold in memory. Null when none can be made.
std::FILE* OpenScratchFile();

}  // namespace support
