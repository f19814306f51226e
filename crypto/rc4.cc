#include "rc4.h"

#include <cstring>
#include <utility>

namespace rc4 {

void Init(State* state, const uint8_t* key, size_t key_len) {
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

void Crypt(State* state, uint8_t* data, size_t len) {
  if (len == 0) return;
  // A local copy of the state cannot alias the data, so the compiler keeps
  // it apart from the stores into `data`.
  uint8_t s[256];
  std::memcpy(s, state->s, sizeof s);
  uint32_t i = (state->i + 1u) & 255u;
  uint32_t j = state->j;
  uint32_t si = s[i];
  for (size_t n = 0; n < len; ++n) {
    j = (j + si) & 255u;
    const uint32_t sj = s[j];
    // The next step's s[i + 1] is loaded before this step's swap is stored,
    // which breaks the wait on the store; the swap changes it only when j is
    // that very entry, and then it holds si.
    const uint32_t next_i = (i + 1) & 255u;
    const uint32_t next_loaded = s[next_i];
    s[j] = static_cast<uint8_t>(si);
    s[i] = static_cast<uint8_t>(sj);
    data[n] ^= s[(si + sj) & 255u];
    si = next_i == j ? si : next_loaded;
    i = next_i;
  }
  std::memcpy(state->s, s, sizeof s);
  state->i = static_cast<uint8_t>(i - 1);
  state->j = static_cast<uint8_t>(j);
}

}  // namespace rc4
