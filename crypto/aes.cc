#include "aes.h"

#include "aes_hw.h"
#include "support/byte_order.h"

#include <array>
#include <bit>
#include <cstring>

namespace aes {
namespace {

// Arithmetic in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t XTime(uint8_t x) {
  return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) != 0 ? 0x1B : 0x00));
}

constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  while (b != 0) {
    if ((b & 1) != 0) product ^= a;
    a = XTime(a);
    b = static_cast<uint8_t>(b >> 1);
  }
  return product;
}

constexpr uint8_t Rotl8(uint8_t x, int n) { return static_cast<uint8_t>((x << n) | (x >> (8 - n))); }

// S-box: multiplicative inverse (0 maps to 0) followed by the affine map.
// The inverse is found through powers of the generator 3.
constexpr std::array<uint8_t, 256> MakeSbox() {
  std::array<uint8_t, 256> power{};
  std::array<uint8_t, 256> log{};
  uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = x;
    log[x] = static_cast<uint8_t>(i);
    x = static_cast<uint8_t>(x ^ XTime(x));  // x * 3
  }
  std::array<uint8_t, 256> sbox{};
  for (int v = 0; v < 256; ++v) {
    uint8_t inverse = v == 0 ? 0 : power[(255 - log[v]) % 255];
    sbox[v] = static_cast<uint8_t>(inverse ^ Rotl8(inverse, 1) ^ Rotl8(inverse, 2) ^ Rotl8(inverse, 3) ^
                                   Rotl8(inverse, 4) ^ 0x63);
  }
  return sbox;
}

constexpr std::array<uint8_t, 256> kSbox = MakeSbox();

constexpr std::array<uint8_t, 256> MakeInverseSbox() {
  std::array<uint8_t, 256> inverse{};
  for (int v = 0; v < 256; ++v) inverse[kSbox[v]] = static_cast<uint8_t>(v);
  return inverse;
}

constexpr std::array<uint8_t, 256> kInverseSbox = MakeInverseSbox();

// Column words are little-endian: row 0 in bits 0-7 ... row 3 in bits 24-31.
constexpr uint32_t Word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return static_cast<uint32_t>(b0) | static_cast<uint32_t>(b1) << 8 | static_cast<uint32_t>(b2) << 16 |
         static_cast<uint32_t>(b3) << 24;
}

// SubBytes and MixColumns for a byte in row 0; the other rows are the same
// word rotated left by 8, 16 and 24 bits.
constexpr std::array<uint32_t, 256> MakeEncryptTable() {
  std::array<uint32_t, 256> table{};
  for (int v = 0; v < 256; ++v) {
    uint8_t s = kSbox[v];
    table[v] = Word(GfMul(s, 2), s, s, GfMul(s, 3));
  }
  return table;
}

// InvSubBytes and InvMixColumns, laid out the same way.
constexpr std::array<uint32_t, 256> MakeDecryptTable() {
  std::array<uint32_t, 256> table{};
  for (int v = 0; v < 256; ++v) {
    uint8_t s = kInverseSbox[v];
    table[v] = Word(GfMul(s, 14), GfMul(s, 9), GfMul(s, 13), GfMul(s, 11));
  }
  return table;
}

constexpr std::array<uint32_t, 256> kEncryptTable = MakeEncryptTable();
constexpr std::array<uint32_t, 256> kDecryptTable = MakeDecryptTable();

constexpr std::array<uint8_t, 10> kRoundConstants = {0x01, 0x02, 0x04, 0x08, 0x10,
                                                     0x20, 0x40, 0x80, 0x1B, 0x36};

inline uint32_t Load(const uint8_t* p) { return support::LoadLe32(p); }
inline void Store(uint32_t w, uint8_t* p) { support::StoreLe32(p, w); }

inline uint8_t Byte(uint32_t w, int row) { return static_cast<uint8_t>(w >> (8 * row)); }

inline uint32_t SubWord(uint32_t w) {
  return Word(kSbox[Byte(w, 0)], kSbox[Byte(w, 1)], kSbox[Byte(w, 2)], kSbox[Byte(w, 3)]);
}

// One full round column: the row-r byte comes from column a, b, c, d.
inline uint32_t EncryptColumn(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return kEncryptTable[Byte(a, 0)] ^ std::rotl(kEncryptTable[Byte(b, 1)], 8) ^
         std::rotl(kEncryptTable[Byte(c, 2)], 16) ^ std::rotl(kEncryptTable[Byte(d, 3)], 24);
}

inline uint32_t DecryptColumn(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return kDecryptTable[Byte(a, 0)] ^ std::rotl(kDecryptTable[Byte(b, 1)], 8) ^
         std::rotl(kDecryptTable[Byte(c, 2)], 16) ^ std::rotl(kDecryptTable[Byte(d, 3)], 24);
}

// InvMixColumns of a round key word: the decryption table undoes the S-box
// it contains when fed S-box outputs.
inline uint32_t InverseMixColumn(uint32_t w) {
  return DecryptColumn(kSbox[Byte(w, 0)], static_cast<uint32_t>(kSbox[Byte(w, 1)]) << 8,
                       static_cast<uint32_t>(kSbox[Byte(w, 2)]) << 16,
                       static_cast<uint32_t>(kSbox[Byte(w, 3)]) << 24);
}

void DeriveDecryptKeys(Context* ctx) {
  const int rounds = ctx->rounds;
  const uint32_t* ek = ctx->enc_keys;
  uint32_t* dk = ctx->dec_keys;
  for (int i = 0; i < 4; ++i) {
    dk[i] = ek[4 * rounds + i];
    dk[4 * rounds + i] = ek[i];
  }
  for (int r = 1; r < rounds; ++r) {
    for (int i = 0; i < 4; ++i) dk[4 * r + i] = InverseMixColumn(ek[4 * (rounds - r) + i]);
  }
  ctx->flags = static_cast<uint8_t>(ctx->flags & ~kNeedDecryptKeys);
}

}  // namespace

bool KeySetup(Context* ctx, const uint8_t* key, size_t key_size, const uint8_t chain[kBlockSize],
              const ModeOps* ops) {
  if (key_size != 16 && key_size != 24 && key_size != 32) return false;
  const int nk = static_cast<int>(key_size / 4);
  const int rounds = nk + 6;
  std::memcpy(ctx->chain, chain, kBlockSize);
  uint32_t* w = ctx->enc_keys;
  for (int i = 0; i < nk; ++i) w[i] = Load(key + 4 * i);
  for (int i = nk; i < 4 * (rounds + 1); ++i) {
    uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      temp = SubWord(std::rotr(temp, 8)) ^ kRoundConstants[i / nk - 1];
    } else if (nk > 6 && i % nk == 4) {
      temp = SubWord(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
  ctx->rounds = static_cast<uint8_t>(rounds);
  ctx->flags = kNeedDecryptKeys;
  ctx->ops = ops;
  return true;
}

void PrepareDecryptKeys(Context* ctx) {
  if ((ctx->flags & kNeedDecryptKeys) != 0) DeriveDecryptKeys(ctx);
}

void EncryptBlock(const Context& ctx, const uint8_t in[kBlockSize], uint8_t out[kBlockSize]) {
  if (hw::Enabled()) {
    hw::EncryptBlock(ctx, in, out);
    return;
  }
  const uint32_t* rk = ctx.enc_keys;
  uint32_t s0 = Load(in) ^ rk[0];
  uint32_t s1 = Load(in + 4) ^ rk[1];
  uint32_t s2 = Load(in + 8) ^ rk[2];
  uint32_t s3 = Load(in + 12) ^ rk[3];
  for (int r = 1; r < ctx.rounds; ++r) {
    rk += 4;
    // ShiftRows: row r of output column c comes from column c + r.
    uint32_t t0 = EncryptColumn(s0, s1, s2, s3) ^ rk[0];
    uint32_t t1 = EncryptColumn(s1, s2, s3, s0) ^ rk[1];
    uint32_t t2 = EncryptColumn(s2, s3, s0, s1) ^ rk[2];
    uint32_t t3 = EncryptColumn(s3, s0, s1, s2) ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  Store(Word(kSbox[Byte(s0, 0)], kSbox[Byte(s1, 1)], kSbox[Byte(s2, 2)], kSbox[Byte(s3, 3)]) ^ rk[0], out);
  Store(Word(kSbox[Byte(s1, 0)], kSbox[Byte(s2, 1)], kSbox[Byte(s3, 2)], kSbox[Byte(s0, 3)]) ^ rk[1],
        out + 4);
  Store(Word(kSbox[Byte(s2, 0)], kSbox[Byte(s3, 1)], kSbox[Byte(s0, 2)], kSbox[Byte(s1, 3)]) ^ rk[2],
        out + 8);
  Store(Word(kSbox[Byte(s3, 0)], kSbox[Byte(s0, 1)], kSbox[Byte(s1, 2)], kSbox[Byte(s2, 3)]) ^ rk[3],
        out + 12);
}

void DecryptBlock(Context* ctx, const uint8_t in[kBlockSize], uint8_t out[kBlockSize]) {
  if (hw::Enabled()) {
    hw::DecryptBlock(ctx, in, out);
    return;
  }
  if ((ctx->flags & kNeedDecryptKeys) != 0) DeriveDecryptKeys(ctx);
  const uint32_t* rk = ctx->dec_keys;
  uint32_t s0 = Load(in) ^ rk[0];
  uint32_t s1 = Load(in + 4) ^ rk[1];
  uint32_t s2 = Load(in + 8) ^ rk[2];
  uint32_t s3 = Load(in + 12) ^ rk[3];
  for (int r = 1; r < ctx->rounds; ++r) {
    rk += 4;
    // InvShiftRows: row r of output column c comes from column c - r.
    uint32_t t0 = DecryptColumn(s0, s3, s2, s1) ^ rk[0];
    uint32_t t1 = DecryptColumn(s1, s0, s3, s2) ^ rk[1];
    uint32_t t2 = DecryptColumn(s2, s1, s0, s3) ^ rk[2];
    uint32_t t3 = DecryptColumn(s3, s2, s1, s0) ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  const auto& inv = kInverseSbox;
  Store(Word(inv[Byte(s0, 0)], inv[Byte(s3, 1)], inv[Byte(s2, 2)], inv[Byte(s1, 3)]) ^ rk[0], out);
  Store(Word(inv[Byte(s1, 0)], inv[Byte(s0, 1)], inv[Byte(s3, 2)], inv[Byte(s2, 3)]) ^ rk[1], out + 4);
  Store(Word(inv[Byte(s2, 0)], inv[Byte(s1, 1)], inv[Byte(s0, 2)], inv[Byte(s3, 3)]) ^ rk[2], out + 8);
  Store(Word(inv[Byte(s3, 0)], inv[Byte(s2, 1)], inv[Byte(s1, 2)], inv[Byte(s0, 3)]) ^ rk[3], out + 12);
}

void SecureWipe(void* data, size_t size) {
  volatile uint8_t* p = static_cast<volatile uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) p[i] = 0;
}

}  // namespace aes
