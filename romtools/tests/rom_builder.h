// Test ROM images: bytes with header fields set where the tests need them.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/byte_order.h"

namespace romtools_test {

/// `size` pseudo-random bytes (fixed by `seed`).
inline std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

/// Stores the 32-bit little-endian `value` at `offset`.
inline void PutWord(std::string* bytes, size_t offset, uint32_t value) {
  support::StoreLe32(bytes->data() + offset, value);
}

/// The 16-byte little-endian record of four words.
inline std::string Words(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  std::string s(16, '\0');
  PutWord(&s, 0, a);
  PutWord(&s, 4, b);
  PutWord(&s, 8, c);
  PutWord(&s, 12, d);
  return s;
}

/// Sets the static-segment fields of a header: offset, entry, load, size.
inline void PutSegments(std::string* rom, uint32_t arm9_offset, uint32_t arm9_entry, uint32_t arm9_load,
                        uint32_t arm9_size, uint32_t arm7_offset, uint32_t arm7_entry, uint32_t arm7_load,
                        uint32_t arm7_size) {
  PutWord(rom, 0x20, arm9_offset);
  PutWord(rom, 0x24, arm9_entry);
  PutWord(rom, 0x28, arm9_load);
  PutWord(rom, 0x2C, arm9_size);
  PutWord(rom, 0x30, arm7_offset);
  PutWord(rom, 0x34, arm7_entry);
  PutWord(rom, 0x38, arm7_load);
  PutWord(rom, 0x3C, arm7_size);
}

}  // namespace romtools_test
