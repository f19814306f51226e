// RC4's key stream step as written in the literature, one swap at a time:
// slow, obviously right, and the yardstick for the unrolled loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "rc4.h"

namespace rc4_reference {

/// XORs `len` bytes of key stream into `data`, continuing from `st`.
inline void Crypt(rc4::State* st, uint8_t* data, size_t len) {
  uint8_t i = st->i, j = st->j;
  for (size_t n = 0; n < len; ++n) {
    i = static_cast<uint8_t>(i + 1);
    j = static_cast<uint8_t>(j + st->s[i]);
    std::swap(st->s[i], st->s[j]);
    data[n] ^= st->s[static_cast<uint8_t>(st->s[i] + st->s[j])];
  }
  st->i = i;
  st->j = j;
}

}  // namespace rc4_reference
