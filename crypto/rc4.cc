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
  uint32_t i = (state->i + 1u) & 255u;  // the entry the next step swaps
  uint32_t j = state->j;
  auto step = [&]() -> uint32_t {
    const uint32_t si = s[i];
    j = (j + si) & 255u;
    const uint32_t sj = s[j];
    s[j] = si;
    s[i] = sj;
    i = (i + 1) & 255u;
    return s[(si + sj) & 255u];
  };
  size_t n = 0;
  for (; n < len && (i & 7u) != 0; ++n) data[n] = static_cast<uint8_t>(data[n] ^ step());
  // From an i that is a multiple of 8, eight steps never wrap i, so they
  // take fixed offsets from one base; their eight key stream bytes, gathered
  // in a register, meet the data in one load and one store.
  //
  // The entry that the next step adds to j is read a step early, before this
  // step's swap, and taken from the swap instead when j has just landed on it
  // (one step in 256). Read after the swap, it would be held up behind the
  // store to s[j], whose address is known only at the end of the j chain, or
  // the processor would guess the two apart and start over whenever the
  // guess failed; read early, the chain is an addition and a mask a step,
  // and the branch is nearly always predicted.
  if (len - n >= 8) {
    uint32_t si = s[i];
    for (; len - n >= 8; n += 8) {
      uint32_t* const base = s + i;
      const uint32_t after = (i + 8) & 255u;
      uint64_t stream = 0;
#pragma GCC unroll 8
      for (uint32_t k = 0; k < 8; ++k) {
        j = (j + si) & 255u;
        const uint32_t at_next = k < 7 ? i + k + 1 : after;
        uint32_t next;
        if (j == at_next) [[unlikely]] {
          next = si;
        } else {
          next = k < 7 ? base[k + 1] : s[after];
        }
        const uint32_t sj = s[j];
        s[j] = si;
        base[k] = sj;
        stream |= static_cast<uint64_t>(s[(si + sj) & 255u]) << (8 * k);
        si = next;
      }
      i = after;
      support::StoreLe64(data + n, support::LoadLe64(data + n) ^ stream);
    }
  }
  for (; n < len; ++n) data[n] = static_cast<uint8_t>(data[n] ^ step());
  for (int k = 0; k < 256; ++k) state->s[k] = static_cast<uint8_t>(s[k]);
  state->i = static_cast<uint8_t>(i - 1);
  state->j = static_cast<uint8_t>(j);
}

}  // namespace rc4
