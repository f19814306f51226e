// Block-wise reading and copying of ROM images: never the whole image in
// memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "support/platform.h"

namespace argbury {

/// Size of the blocks that images are read in.
constexpr size_t kBlockSize = size_t{8} << 20;

enum class IoStatus { kOk, kNotFound, kReadError, kWriteError };

/// A destination for copied bytes; false when writing failed.
using ByteSink = std::function<bool(const uint8_t* data, size_t size)>;

/// Searches the file from its start for the argument marker: kOk with
/// `*offset`, kNotFound, kReadError (or kWriteError). With `copy`, the
/// blocks scanned before the one where the marker ends are handed to it on
/// the way, so that a copy needs no second pass over them: `*copied` says
/// how many bytes.
IoStatus FindMarkerInFile(const support::File& file, uint64_t* offset, const ByteSink* copy = nullptr,
                          uint64_t* copied = nullptr);

/// Copies the file from offset `start` to its end into `sink`, with the bytes
/// at [at, at + count) replaced by `area` (where they lie inside the file).
/// `*copied` grows by the number of bytes handed to the sink.
IoStatus CopyWithArea(const support::File& file, uint64_t start, uint64_t at, const uint8_t* area, size_t count,
                      const ByteSink& sink, uint64_t* copied);

}  // namespace argbury
