// Block-wise reading, copying and writing of ROM images: never the whole
// image in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace argbury {

/// Size of the blocks that images are read in.
constexpr size_t kBlockSize = size_t{8} << 20;

enum class IoStatus { kOk, kNotFound, kReadError, kWriteError };

/// Opens `path` with `flags` (O_RDONLY or O_RDWR) when it is a regular
/// file, without hanging on a pipe; -1 otherwise.
int OpenRegularFile(const char* path, int flags);

/// Reads up to `size` bytes at the current position (fewer only at the end
/// of the file); -1 on a read error.
long long ReadUpTo(int fd, void* data, size_t size);

/// Reads up to `size` bytes at `offset`; -1 on a read error.
long long ReadAt(int fd, uint64_t offset, void* data, size_t size);

/// A destination for copied bytes; false when writing failed.
using ByteSink = std::function<bool(const uint8_t* data, size_t size)>;

/// Searches the file from its start for the argument marker: kOk with
/// `*offset`, kNotFound, kReadError (or kWriteError). With `copy`, the
/// blocks scanned before the one where the marker ends are handed to it on
/// the way, so that a copy needs no second pass over them: `*copied` says
/// how many bytes.
IoStatus FindMarkerInFile(int fd, uint64_t* offset, const ByteSink* copy = nullptr, uint64_t* copied = nullptr);

/// Writes all `size` bytes at `offset`; false on any failure.
bool WriteAt(int fd, uint64_t offset, const void* data, size_t size);

/// Copies the file from offset `start` to its end into `sink`, with the bytes
/// at [at, at + count) replaced by `area` (where they lie inside the file).
/// `*copied` grows by the number of bytes handed to the sink.
IoStatus CopyWithArea(int fd, uint64_t start, uint64_t at, const uint8_t* area, size_t count, const ByteSink& sink,
                      uint64_t* copied);

}  // namespace argbury
