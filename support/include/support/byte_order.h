// Little-endian loads and stores: the console's ROM headers, colour words and
// data blocks are all little-endian, whatever the host is.
#pragma once

#include <cstdint>

namespace support {

/// The 16-bit little-endian value at `p`.
inline uint16_t LoadLe16(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

/// The 32-bit little-endian value at `p`.
inline uint32_t LoadLe32(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
}

/// The 64-bit little-endian value at `p`.
inline uint64_t LoadLe64(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return static_cast<uint64_t>(LoadLe32(b)) | static_cast<uint64_t>(LoadLe32(b + 4)) << 32;
}

/// Stores `v` at `p`, low byte first.
inline void StoreLe16(void* p, uint16_t v) {
  uint8_t* b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}

/// Stores `v` at `p`, low byte first.
inline void StoreLe32(void* p, uint32_t v) {
  uint8_t* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

/// Stores `v` at `p`, low byte first.
inline void StoreLe64(void* p, uint64_t v) {
  uint8_t* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace support
