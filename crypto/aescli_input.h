// How aescli gathers its inputs: whole files, the start of a file, counted
// and open-ended reads of standard input, and hexadecimal values. Nothing
// here prints; aescli words the messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace aes {

enum class InputStatus {
  kOk,
  kCannotOpen,  // the file does not open
  kCannotSeek,  // it has no size to seek to (a pipe, a device)
  kNoMemory,    // no room for its bytes
  kShortRead,   // fewer bytes than required (also a folder)
};

/// What a failed read was about: the size that could not be held.
struct InputFailure {
  size_t size = 0;
};

/// Reads the whole regular file at `path` into `out`.
InputStatus ReadInputFile(const char* path, std::vector<uint8_t>* out, InputFailure* failure);

/// Reads the first `size` bytes of the file at `path` (any kind of file,
/// /dev/urandom too) into `out`.
InputStatus ReadFileStart(const char* path, size_t size, uint8_t* out);

/// Reads exactly `count` bytes from `in`; kShortRead when it ends first.
InputStatus ReadCount(FILE* in, size_t count, std::vector<uint8_t>* out, InputFailure* failure);

/// Reads `in` to its end into a buffer that starts at 1 MiB and doubles
/// whenever a read fills it; kShortRead on a read error.
InputStatus ReadToEnd(FILE* in, std::vector<uint8_t>* out, InputFailure* failure);

/// Decodes 2 * `byte_count` characters, high nibble first; a character that
/// is not a hexadecimal digit counts as 0.
void DecodeHexLenient(const char* digits, size_t byte_count, uint8_t* out);

}  // namespace aes
