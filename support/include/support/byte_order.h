// Little-endian loads and stores: the console's ROM headers, colour words and
// data blocks are all little-endian, whatever the host is. On a
// little-endian host each is one unaligned load or store of the whole word;
// elsewhere the bytes are put together one by one.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace support {

namespace byte_order_detail {

template <typename Word>
inline Word Load(const void* p) {
  if constexpr (std::endian::native == std::endian::little) {
    Word v;
    std::memcpy(&v, p, sizeof v);
    return v;
  } else {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    Word v = 0;
    for (size_t i = 0; i < sizeof(Word); ++i) v |= static_cast<Word>(static_cast<Word>(b[i]) << (8 * i));
    return v;
  }
}

template <typename Word>
inline void Store(void* p, Word v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof v);
  } else {
    uint8_t* b = static_cast<uint8_t*>(p);
    for (size_t i = 0; i < sizeof(Word); ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}

}  // namespace byte_order_detail

/// The 16-bit little-endian value at `p`.
inline uint16_t LoadLe16(const void* p) { return byte_order_detail::Load<uint16_t>(p); }

/// The 32-bit little-endian value at `p`.
inline uint32_t LoadLe32(const void* p) { return byte_order_detail::Load<uint32_t>(p); }

/// The 64-bit little-endian value at `p`.
inline uint64_t LoadLe64(const void* p) { return byte_order_detail::Load<uint64_t>(p); }

/// Stores `v` at `p`, low byte first.
inline void StoreLe16(void* p, uint16_t v) { byte_order_detail::Store(p, v); }

/// Stores `v` at `p`, low byte first.
inline void StoreLe32(void* p, uint32_t v) { byte_order_detail::Store(p, v); }

/// Stores `v` at `p`, low byte first.
inline void StoreLe64(void* p, uint64_t v) { byte_order_detail::Store(p, v); }

}  // namespace support
