// Block-wise access to a ROM image on disk: the tools that only look at a
// header and a few ranges of a large image read it in blocks (through a
// support::File opened for regular files only) instead of holding it whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/output_file.h"
#include "support/platform.h"

namespace romtools {

/// Bytes read or copied at a time: small enough to stay in the cache between
/// the read and the write of a copy.
constexpr size_t kBlockSize = 1 << 17;

/// Opens `path` for reading when it is a regular file (a pipe or device is
/// refused, never waited on); false otherwise.
bool OpenImage(const std::string& path, support::File* file);

/// How a copy of a range ended.
enum class CopyStatus { kOk, kReadError, kWriteError };

/// Appends `length` bytes of `in` from `offset` to `out`, a block at a time.
/// Bytes the file does not have count as a read error.
CopyStatus CopyRange(const support::File& in, uint64_t offset, uint64_t length, support::OutputFile* out);

}  // namespace romtools
