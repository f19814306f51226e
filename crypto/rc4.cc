#include "rc4.h"

#include <utility>

void Rc4Init(Rc4State* state, const uint8_t* key, size_t key_len) {
  for (int k = 0; k < 256; ++k) state->s[k] = static_cast<uint8_t>(k);
  uint8_t j = 0;
  size_t key_index = 0;
  for (int k = 0; k < 256; ++k) {
    j = static_cast<uint8_t>(j + state->s[k] + key[key_index]);
    std::swap(state->s[k], state->s[j]);
    if (++key_index == key_len) key_index = 0;
  }
  state->i = 0;
  state->j = 0;
}

void Rc4Crypt(Rc4State* state, uint8_t* data, size_t len) {
  uint8_t i = state->i, j = state->j;
  uint8_t* s = state->s;
  for (size_t n = 0; n < len; ++n) {
    i = static_cast<uint8_t>(i + 1);
    j = static_cast<uint8_t>(j + s[i]);
    std::swap(s[i], s[j]);
    data[n] ^= s[static_cast<uint8_t>(s[i] + s[j])];
  }
  state->i = i;
  state->j = j;
}
