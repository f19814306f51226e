#include "rc4.h"

#include <utility>

#include "support/byte_order.h"

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
  // it apart from the stores into `data`; entries of a whole word each load
  // and store without merging into their neighbours.
  uint32_t s[256];
  for (int k = 0; k < 256; ++k) s[k] = state->s[k];
  uint32_t i = (state->i + 1u) & 255u;
  uint32_t j = state->j;
  uint32_t si = s[i];
  // One step of the key stream: the byte it gives.
  auto step = [&]() -> uint32_t {
    j = (j + si) & 255u;
    const uint32_t sj = s[j];
    // The next step's s[i + 1] is loaded before this step's swap is stored,
    // which breaks the wait on the store; the swap changes it only when j is
    // that very entry, and then it holds si.
    const uint32_t next_i = (i + 1) & 255u;
    const uint32_t next_loaded = s[next_i];
    s[j] = si;
    s[i] = sj;
    const uint32_t key = s[(si + sj) & 255u];
    si = next_i == j ? si : next_loaded;
    i = next_i;
    return key;
  };
  // Eight key stream bytes gathered in a register meet the data in one load
  // and one store: the swaps keep the store port busy enough.
  size_t n = 0;
  for (; len - n >= 8; n += 8) {
    uint64_t stream = 0;
    for (int k = 0; k < 8; ++k) stream |= static_cast<uint64_t>(step()) << (8 * k);
    support::StoreLe64(data + n, support::LoadLe64(data + n) ^ stream);
  }
  for (; n < len; ++n) data[n] = static_cast<uint8_t>(data[n] ^ step());
  for (int k = 0; k < 256; ++k) state->s[k] = static_cast<uint8_t>(s[k]);
  state->i = static_cast<uint8_t>(i - 1);
  state->j = static_cast<uint8_t>(j);
}

}  // namespace rc4
