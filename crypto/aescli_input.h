// How aescli gathers its inputs: whole files, the start of a file, the text
// file opened for streaming, counted reads of standard input and the rest of
// it set aside, and hexadecimal values. Nothing here prints; aescli words the
// messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "support/platform.h"

namespace aescli {

enum class InputStatus {
  kOk,
  kCannotOpen,  // the file does not open
  kCannotSeek,  // it has no size to seek to (a pipe, a device)
  kNoMemory,    // no room for its bytes
  kShortRead,   // fewer bytes than required (also a folder)
  kNoScratch,   // no temporary file to set standard input aside in
};

/// What a failed read was about: the size that could not be held.
struct InputFailure {
  size_t size = 0;
};

/// Reads the whole regular file at `path` into `out`.
InputStatus ReadInputFile(const char* path, std::vector<uint8_t>* out, InputFailure* failure);

/// Opens the regular file at `path` to be read piece by piece, with the
/// failures ReadInputFile would report.
InputStatus OpenInputFile(const char* path, support::File* file);

/// Reads the first `size` bytes of the file at `path` (any kind of file,
/// /dev/urandom too) into `out`.
InputStatus ReadFileStart(const char* path, size_t size, uint8_t* out);

/// Reads exactly `count` bytes from `in`; kShortRead when it ends first.
InputStatus ReadCount(support::File* in, size_t count, std::vector<uint8_t>* out, InputFailure* failure);

/// Reads `in` to its end and keeps nothing; false on a read error.
bool SkipToEnd(support::File* in);

/// Copies `in` to its end into a scratch file (support::OpenScratchFile),
/// keeping at most `keep` bytes but counting all of them in `*size`; the
/// scratch file is left at its start, for the caller to read and close.
/// kShortRead on a read error, kNoScratch when no scratch file can be made
/// or written.
InputStatus SetAside(support::File* in, uint64_t keep, std::FILE** scratch, uint64_t* size);

/// Decodes 2 * `byte_count` characters, high nibble first; a character that
/// is not a hexadecimal digit counts as 0.
void DecodeHexLenient(const char* digits, size_t byte_count, uint8_t* out);

}  // namespace aescli
