#include "aes_hw.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define AES_HW_X86 1
#endif

#include "aes_modes.h"

namespace aes::hw {
namespace {

bool Present() {
#ifdef AES_HW_X86
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  const bool aes = (ecx & bit_AES) != 0;
  const bool sse41 = (ecx & bit_SSE4_1) != 0;
  return aes && sse41;
#else
  return false;
#endif
}

bool EnvironmentAllows() {
  const char *text = std::getenv("AESCLI_NO_HW");
  return text == nullptr || *text == '\0' || std::strcmp(text, "0") == 0;
}

const bool kPresent = Present();
std::atomic<bool> g_allowed{EnvironmentAllows()};

}  // namespace

bool Enabled() { return kPresent && g_allowed.load(std::memory_order_relaxed); }

void SetAllowed(bool allowed) { g_allowed.store(allowed, std::memory_order_relaxed); }

#ifdef AES_HW_X86
namespace {

constexpr int kMaxRoundKeys = 15;
constexpr size_t kInFlight = 8;

// Round keys are stored one little-endian word per column, byte 0 of the
// column lowest: in memory that is the round key's byte order.
#define AES_TARGET __attribute__((target("aes,sse4.1")))

AES_TARGET inline void LoadKeys(const uint32_t *words, int rounds, __m128i *rk) {
  for (int r = 0; r <= rounds; ++r) rk[r] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(words + 4 * r));
}

AES_TARGET inline void WipeKeys(__m128i *rk) {
  volatile uint8_t *p = reinterpret_cast<volatile uint8_t *>(rk);
  for (size_t i = 0; i < sizeof(__m128i) * kMaxRoundKeys; ++i) p[i] = 0;
}

AES_TARGET inline __m128i Encrypt1(const __m128i *rk, int rounds, __m128i b) {
  b = _mm_xor_si128(b, rk[0]);
  for (int r = 1; r < rounds; ++r) b = _mm_aesenc_si128(b, rk[r]);
  return _mm_aesenclast_si128(b, rk[rounds]);
}

AES_TARGET inline __m128i Decrypt1(const __m128i *rk, int rounds, __m128i b) {
  b = _mm_xor_si128(b, rk[0]);
  for (int r = 1; r < rounds; ++r) b = _mm_aesdec_si128(b, rk[r]);
  return _mm_aesdeclast_si128(b, rk[rounds]);
}

AES_TARGET inline __m128i Load(const uint8_t *p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}
AES_TARGET inline void Store(uint8_t *p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v); }

// Byte 15 first: one shuffle reverses a block.
AES_TARGET inline __m128i ReverseMask() { return _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15); }
AES_TARGET inline __m128i Flip(__m128i v, __m128i mask) { return _mm_shuffle_epi8(v, mask); }

AES_TARGET void EncryptBlockHw(const Context &ctx, const uint8_t *in, uint8_t *out) {
  __m128i rk[kMaxRoundKeys];
  LoadKeys(ctx.enc_keys, ctx.rounds, rk);
  Store(out, Encrypt1(rk, ctx.rounds, Load(in)));
  WipeKeys(rk);
}

AES_TARGET void DecryptBlockHw(Context *ctx, const uint8_t *in, uint8_t *out) {
  PrepareDecryptKeys(ctx);
  __m128i rk[kMaxRoundKeys];
  LoadKeys(ctx->dec_keys, ctx->rounds, rk);
  Store(out, Decrypt1(rk, ctx->rounds, Load(in)));
  WipeKeys(rk);
}

template <bool kReversed>
AES_TARGET void CtrBlocksHw(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks) {
  const __m128i mask = ReverseMask();
  const int rounds = ctx->rounds;
  __m128i rk[kMaxRoundKeys];
  LoadKeys(ctx->enc_keys, rounds, rk);
  // Byte 15 of counter block i of a group is byte 15 of the first plus i,
  // as long as no carry leaves byte 15 within the group.
  __m128i steps[kInFlight];
  for (size_t i = 0; i < kInFlight; ++i) {
    steps[i] = _mm_set_epi8(static_cast<char>(i), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  }
  alignas(16) uint8_t counters[kInFlight][kBlockSize];
  while (blocks > 0) {
    const size_t n = blocks < kInFlight ? blocks : kInFlight;
    __m128i b[kInFlight];
    if (n == kInFlight && ctx->chain[15] < 256 - kInFlight) {
      const __m128i base = Load(ctx->chain);
      for (size_t i = 0; i < kInFlight; ++i) b[i] = _mm_xor_si128(_mm_add_epi8(base, steps[i]), rk[0]);
      ctx->chain[15] = static_cast<uint8_t>(ctx->chain[15] + kInFlight);
    } else {
      for (size_t i = 0; i < n; ++i) {
        std::memcpy(counters[i], ctx->chain, kBlockSize);
        IncrementCounter(ctx->chain);
        b[i] = _mm_xor_si128(_mm_load_si128(reinterpret_cast<const __m128i *>(counters[i])), rk[0]);
      }
    }
    for (int r = 1; r < rounds; ++r) {
      for (size_t i = 0; i < n; ++i) b[i] = _mm_aesenc_si128(b[i], rk[r]);
    }
    for (size_t i = 0; i < n; ++i) {
      b[i] = _mm_aesenclast_si128(b[i], rk[rounds]);
      if (kReversed) b[i] = Flip(b[i], mask);
      Store(out + 16 * i, _mm_xor_si128(b[i], Load(in + 16 * i)));
    }
    in += 16 * n;
    out += 16 * n;
    blocks -= n;
  }
  volatile uint8_t *p = &counters[0][0];
  for (size_t i = 0; i < sizeof(counters); ++i) p[i] = 0;
  WipeKeys(rk);
}

template <bool kReversed>
AES_TARGET void CbcEncryptBlocksHw(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks) {
  const int rounds = ctx->rounds;
  const __m128i mask = ReverseMask();
  __m128i rk[kMaxRoundKeys];
  LoadKeys(ctx->enc_keys, rounds, rk);
  __m128i chain = Load(ctx->chain);
  for (size_t k = 0; k < blocks; ++k) {
    __m128i x = Load(in + 16 * k);
    if (kReversed) x = Flip(x, mask);
    chain = Encrypt1(rk, rounds, _mm_xor_si128(chain, x));
    Store(out + 16 * k, kReversed ? Flip(chain, mask) : chain);
  }
  Store(ctx->chain, chain);
  WipeKeys(rk);
}

AES_TARGET void CbcMacBlocksHw(Context *ctx, const uint8_t *in, size_t blocks) {
  const int rounds = ctx->rounds;
  __m128i rk[kMaxRoundKeys];
  LoadKeys(ctx->enc_keys, rounds, rk);
  __m128i chain = Load(ctx->chain);
  for (size_t k = 0; k < blocks; ++k) chain = Encrypt1(rk, rounds, _mm_xor_si128(chain, Load(in + 16 * k)));
  Store(ctx->chain, chain);
  WipeKeys(rk);
}

template <bool kReversed>
AES_TARGET void CbcDecryptBlocksHw(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks) {
  PrepareDecryptKeys(ctx);
  const __m128i mask = ReverseMask();
  const int rounds = ctx->rounds;
  __m128i rk[kMaxRoundKeys];
  LoadKeys(ctx->dec_keys, rounds, rk);
  __m128i chain = Load(ctx->chain);
  while (blocks > 0) {
    const size_t n = blocks < kInFlight ? blocks : kInFlight;
    // Read every ciphertext block of the group before any output is
    // written: `out` may be `in`.
    __m128i c[kInFlight];
    __m128i b[kInFlight];
    for (size_t i = 0; i < n; ++i) {
      c[i] = Load(in + 16 * i);
      if (kReversed) c[i] = Flip(c[i], mask);
      b[i] = _mm_xor_si128(c[i], rk[0]);
    }
    for (int r = 1; r < rounds; ++r) {
      for (size_t i = 0; i < n; ++i) b[i] = _mm_aesdec_si128(b[i], rk[r]);
    }
    for (size_t i = 0; i < n; ++i) {
      b[i] = _mm_aesdeclast_si128(b[i], rk[rounds]);
      const __m128i plain = _mm_xor_si128(b[i], chain);
      Store(out + 16 * i, kReversed ? Flip(plain, mask) : plain);
      chain = c[i];
    }
    in += 16 * n;
    out += 16 * n;
    blocks -= n;
  }
  Store(ctx->chain, chain);
  WipeKeys(rk);
}

// The MAC chain waits on each round it runs (its next block needs its last
// result), so the CTR block of the same step runs its rounds in the gaps.
// Decryption needs the plaintext before the MAC, so its keystream is made
// one block ahead. The counter stays in a register: byte 15 is stepped by a
// vector add, and only its wrap (once in 256 blocks) goes through
// IncrementCounter.
template <bool kEncrypt, bool kReversed>
AES_TARGET void CcmBlocksHw(Context *ctr, Context *mac, const uint8_t *in, uint8_t *out, size_t blocks) {
  const int rounds = ctr->rounds;
  const __m128i mask = ReverseMask();
  const __m128i one = _mm_set_epi8(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  __m128i rk[kMaxRoundKeys];
  LoadKeys(ctr->enc_keys, rounds, rk);
  __m128i chain = Load(mac->chain);
  __m128i counter = Load(ctr->chain);
  auto step = [&]() {
    if (ctr->chain[15] != 0xFF) {
      counter = _mm_add_epi8(counter, one);
      ++ctr->chain[15];
    } else {
      IncrementCounter(ctr->chain);
      counter = Load(ctr->chain);
    }
  };
  __m128i ahead = _mm_setzero_si128();  // decryption: the keystream of the next block
  if (!kEncrypt && blocks > 0) {
    ahead = Encrypt1(rk, rounds, counter);
    step();
  }
  for (size_t k = 0; k < blocks; ++k) {
    __m128i data = Load(in + 16 * k);
    if (kReversed) data = Flip(data, mask);
    const __m128i plain = kEncrypt ? data : _mm_xor_si128(data, ahead);
    __m128i m = _mm_xor_si128(_mm_xor_si128(chain, plain), rk[0]);
    // Encryption: this block's counter; decryption: the next one's (one
    // block too many at the end, never stored, the counter left where the
    // next call starts).
    __m128i c = _mm_xor_si128(counter, rk[0]);
    for (int r = 1; r < rounds; ++r) {
      m = _mm_aesenc_si128(m, rk[r]);
      c = _mm_aesenc_si128(c, rk[r]);
    }
    chain = _mm_aesenclast_si128(m, rk[rounds]);
    c = _mm_aesenclast_si128(c, rk[rounds]);
    __m128i result;
    if (kEncrypt) {
      result = _mm_xor_si128(data, c);
      step();
    } else {
      result = plain;
      ahead = c;
      if (k + 1 < blocks) step();
    }
    Store(out + 16 * k, kReversed ? Flip(result, mask) : result);
  }
  Store(mac->chain, chain);
  WipeKeys(rk);
}

}  // namespace

void EncryptBlock(const Context &ctx, const uint8_t *in, uint8_t *out) { EncryptBlockHw(ctx, in, out); }
void DecryptBlock(Context *ctx, const uint8_t *in, uint8_t *out) { DecryptBlockHw(ctx, in, out); }
void CtrBlocks(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks) {
  CtrBlocksHw<false>(ctx, in, out, blocks);
}
void CbcEncryptBlocks(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks) {
  CbcEncryptBlocksHw<false>(ctx, in, out, blocks);
}
void CbcDecryptBlocks(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks) {
  CbcDecryptBlocksHw<false>(ctx, in, out, blocks);
}
void CtrBlocksReversed(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks) {
  CtrBlocksHw<true>(ctx, in, out, blocks);
}
void CbcEncryptBlocksReversed(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks) {
  CbcEncryptBlocksHw<true>(ctx, in, out, blocks);
}
void CbcDecryptBlocksReversed(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks) {
  CbcDecryptBlocksHw<true>(ctx, in, out, blocks);
}
void CcmBlocks(Context *ctr, Context *mac, const uint8_t *in, uint8_t *out, size_t blocks, bool encrypt,
               bool reversed) {
  if (encrypt) {
    reversed ? CcmBlocksHw<true, true>(ctr, mac, in, out, blocks) : CcmBlocksHw<true, false>(ctr, mac, in, out, blocks);
  } else {
    reversed ? CcmBlocksHw<false, true>(ctr, mac, in, out, blocks)
             : CcmBlocksHw<false, false>(ctr, mac, in, out, blocks);
  }
}
void CbcMacBlocks(Context *ctx, const uint8_t *in, size_t blocks) { CbcMacBlocksHw(ctx, in, blocks); }

#else  // no AES instructions on this architecture: never Enabled()

void EncryptBlock(const Context &, const uint8_t *, uint8_t *) {}
void DecryptBlock(Context *, const uint8_t *, uint8_t *) {}
void CtrBlocks(Context *, const uint8_t *, uint8_t *, size_t) {}
void CbcEncryptBlocks(Context *, const uint8_t *, uint8_t *, size_t) {}
void CbcDecryptBlocks(Context *, const uint8_t *, uint8_t *, size_t) {}
void CbcMacBlocks(Context *, const uint8_t *, size_t) {}
void CtrBlocksReversed(Context *, const uint8_t *, uint8_t *, size_t) {}
void CbcEncryptBlocksReversed(Context *, const uint8_t *, uint8_t *, size_t) {}
void CbcDecryptBlocksReversed(Context *, const uint8_t *, uint8_t *, size_t) {}
void CcmBlocks(Context *, Context *, const uint8_t *, uint8_t *, size_t, bool, bool) {}

#endif

}  // namespace aes::hw
