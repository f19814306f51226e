// RC4 stream cipher.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rc4 {

/// RC4 state after the key schedule.
struct State {
  uint8_t s[256];
  uint8_t i = 0;
  uint8_t j = 0;
};

/// Runs the key schedule over `key` (1 to 256 bytes; the key index wraps at
/// the key length).
void Init(State* state, const uint8_t* key, size_t key_len);

/// XORs `len` bytes of key stream into `data`, in place; successive calls
/// continue the key stream.
void Crypt(State* state, uint8_t* data, size_t len);

}  // namespace rc4
