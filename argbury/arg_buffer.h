// The working buffer that the argument strings are packed into before they
// go to the image's argument area.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace argbury {

/// Size of the working buffer: the largest argument area a 16-bit size can declare, and then one byte.
constexpr size_t kWorkBufferSize = 65536;

/// The packed strings, zero after the fill position.
struct ArgBuffer {
  std::array<uint8_t, kWorkBufferSize> bytes{};
  /// Number of bytes packed so far.
  size_t fill = 0;
};

/// Appends `text` and its terminating NUL. False, with the buffer unchanged,
/// when the bytes would pass the end of the buffer.
bool PackString(ArgBuffer* buffer, const char* text);

/// The file name of `path`: the text after its last '\\', '/' or ':'.
const char* FileNameOf(const char* path);

/// The first 256 bytes of `bytes` as 16 rows of 16: the row offset as "%4x ",
/// then each byte as "%c  " when it is 0x20..0x7F, ".  " when it is 0, else "-  ".
std::string FormatDump(const uint8_t* bytes);

}  // namespace argbury
