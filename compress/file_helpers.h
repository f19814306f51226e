// File helpers and message channels shared by tailpack and kidboot.
//
// The channels write to the standard streams: DebugPrint to standard error
// while the debug flag is on, InfoPrint to standard output, ErrorPrint to
// standard error behind "Error: ". ReadFile and WriteFile report their own
// failures on the error channel and return -1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace filehelp {

/// Turns the debug channel on or off (off at start).
void SetDebug(bool on);
bool DebugEnabled();

/// Standard error, only while the debug flag is on.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// Standard output, always.
void InfoPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// Standard error, behind "Error: ".
void ErrorPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// How ReadFile words a file that cannot be opened: tailpack says
/// "Cannot open file", kidboot says "Cannot read file".
enum class OpenFailureWording { kCannotOpen, kCannotRead };

/// Reads the regular file `path` whole into `buffer` (cleared first). Returns
/// the size, or -1 after one error-channel message. Files of 2 GiB or more are
/// refused. On success the debug channel gets the buffer address, the size and
/// the path.
int ReadFile(const char* path, std::vector<uint8_t>* buffer,
             OpenFailureWording wording = OpenFailureWording::kCannotOpen);

/// Writes `size` bytes to `path` through the shared output writer
/// (support/output_file.h): a new or replaceable file goes to a temporary file
/// beside it that replaces `path` only once complete; a file that a rename
/// would change (other hard links, another owner, a folder the user may not
/// write) gets its bytes only at the end, from a staged copy; descriptors,
/// pipes and devices get them as they come. Once every byte is out,
/// `before_commit` (when given) runs, and standard output is checked: only
/// when all it was given has been written does the output take its place,
/// so that a run that fails leaves no new output behind. Returns `size`, or
/// -1 after one error-channel message.
int WriteFile(const char* path, const void* data, int size, const std::function<void()>& before_commit = {});

/// Copies `length` bytes; overlapping ranges are safe.
void MoveBytes(const void* source, void* destination, size_t length);

/// Sets `*result` to the parts one after another. Running out of memory
/// gives false after "Cannot allocate memory" on the error channel; the
/// caller then ends the run (tailpack and kidboot with status 1).
bool ConcatStrings(std::initializer_list<std::string_view> parts, std::string* result);
/// The same as a value: empty when memory ran out (after the message).
std::string ConcatStrings(std::initializer_list<std::string_view> parts);

/// Works in place on `path` and returns a pointer into it: the file name
/// after the last '/' and then the last '\\', cut at its last '.'. A name
/// without a dot stays whole; null gives null.
char* StripDirAndExt(char* path);

}  // namespace filehelp
