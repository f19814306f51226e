// Known-answer vectors from FIPS-197 and NIST SP 800-38A/38C, and randomized
// comparisons with a literal byte-oriented AES and a literal CCM that builds
// the whole formatted MAC input the way the format describes it.
#include "aes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "aes_modes.h"
#include "hex_text.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
  const std::string bytes = crypto_test::HexToBytes(hex);
  return Bytes(bytes.begin(), bytes.end());
}

std::string ToHex(const Bytes& bytes) { return crypto_test::BytesToHex({reinterpret_cast<const char*>(bytes.data()), bytes.size()}); }

Bytes RandomBytes(std::mt19937& rng, size_t size) {
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// ---------------------------------------------------------------------------
// Literal AES, one step at a time on a 4x4 state (state[r][c] = in[r + 4c]).

uint8_t RefXTime(uint8_t x) { return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0)); }

uint8_t RefMul(uint8_t a, uint8_t b) {
  uint8_t p = 0;
  for (int i = 0; i < 8; ++i) {
    if (b & 1) p ^= a;
    a = RefXTime(a);
    b >>= 1;
  }
  return p;
}

struct RefTables {
  uint8_t sbox[256];
  uint8_t inv[256];
  RefTables() {
    for (int x = 0; x < 256; ++x) {
      uint8_t inverse = 0;
      for (int y = 1; y < 256 && x != 0; ++y) {
        if (RefMul(static_cast<uint8_t>(x), static_cast<uint8_t>(y)) == 1) inverse = static_cast<uint8_t>(y);
      }
      uint8_t s = 0x63;
      for (int bit = 0; bit < 8; ++bit) {
        int v = ((inverse >> bit) ^ (inverse >> ((bit + 4) % 8)) ^ (inverse >> ((bit + 5) % 8)) ^
                 (inverse >> ((bit + 6) % 8)) ^ (inverse >> ((bit + 7) % 8))) &
                1;
        s = static_cast<uint8_t>(s ^ (v << bit));
      }
      sbox[x] = s;
    }
    for (int x = 0; x < 256; ++x) inv[sbox[x]] = static_cast<uint8_t>(x);
  }
};

const RefTables& Tables() {
  static const RefTables tables;
  return tables;
}

using State = std::array<std::array<uint8_t, 4>, 4>;

std::vector<State> RefKeySchedule(const Bytes& key) {
  const int nk = static_cast<int>(key.size() / 4);
  const int nr = nk + 6;
  std::vector<std::array<uint8_t, 4>> w(4 * (nr + 1));
  for (int i = 0; i < nk; ++i) {
    for (int j = 0; j < 4; ++j) w[i][j] = key[4 * i + j];
  }
  uint8_t rcon = 1;
  for (int i = nk; i < 4 * (nr + 1); ++i) {
    auto temp = w[i - 1];
    if (i % nk == 0) {
      std::rotate(temp.begin(), temp.begin() + 1, temp.end());
      for (auto& b : temp) b = Tables().sbox[b];
      temp[0] ^= rcon;
      rcon = RefXTime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      for (auto& b : temp) b = Tables().sbox[b];
    }
    for (int j = 0; j < 4; ++j) w[i][j] = static_cast<uint8_t>(w[i - nk][j] ^ temp[j]);
  }
  std::vector<State> round_keys(nr + 1);
  for (int r = 0; r <= nr; ++r) {
    for (int c = 0; c < 4; ++c) {
      for (int row = 0; row < 4; ++row) round_keys[r][row][c] = w[4 * r + c][row];
    }
  }
  return round_keys;
}

void AddRoundKey(State& s, const State& k) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) s[r][c] ^= k[r][c];
  }
}

void MixColumnsWith(State& s, const uint8_t m[4]) {
  for (int c = 0; c < 4; ++c) {
    uint8_t a[4] = {s[0][c], s[1][c], s[2][c], s[3][c]};
    for (int r = 0; r < 4; ++r) {
      s[r][c] = static_cast<uint8_t>(RefMul(a[0], m[(4 - r) % 4]) ^ RefMul(a[1], m[(5 - r) % 4]) ^
                                     RefMul(a[2], m[(6 - r) % 4]) ^ RefMul(a[3], m[(7 - r) % 4]));
    }
  }
}

Bytes RefCipher(const Bytes& key, const Bytes& in, bool decrypt) {
  const auto keys = RefKeySchedule(key);
  const int nr = static_cast<int>(keys.size()) - 1;
  State s;
  for (int i = 0; i < 16; ++i) s[i % 4][i / 4] = in[i];
  static const uint8_t kMix[4] = {2, 3, 1, 1};
  static const uint8_t kInvMix[4] = {14, 11, 13, 9};
  auto sub = [&](const uint8_t* box) {
    for (auto& row : s) {
      for (auto& b : row) b = box[b];
    }
  };
  auto shift = [&](bool inverse) {
    for (int r = 1; r < 4; ++r) {
      if (inverse) {
        std::rotate(s[r].begin(), s[r].end() - r, s[r].end());
      } else {
        std::rotate(s[r].begin(), s[r].begin() + r, s[r].end());
      }
    }
  };
  if (!decrypt) {
    AddRoundKey(s, keys[0]);
    for (int round = 1; round <= nr; ++round) {
      sub(Tables().sbox);
      shift(false);
      if (round != nr) MixColumnsWith(s, kMix);
      AddRoundKey(s, keys[round]);
    }
  } else {
    AddRoundKey(s, keys[nr]);
    for (int round = nr - 1; round >= 0; --round) {
      shift(true);
      sub(Tables().inv);
      AddRoundKey(s, keys[round]);
      if (round != 0) MixColumnsWith(s, kInvMix);
    }
  }
  Bytes out(16);
  for (int i = 0; i < 16; ++i) out[i] = s[i % 4][i / 4];
  return out;
}

Bytes CoreEncrypt(const Bytes& key, const Bytes& in) {
  aes::Context ctx;
  const uint8_t zero[16] = {};
  EXPECT_TRUE(aes::KeySetup(&ctx, key.data(), key.size(), zero, &aes::kCbcOps));
  Bytes out(16);
  aes::EncryptBlock(ctx, in.data(), out.data());
  return out;
}

Bytes CoreDecrypt(const Bytes& key, const Bytes& in) {
  aes::Context ctx;
  const uint8_t zero[16] = {};
  EXPECT_TRUE(aes::KeySetup(&ctx, key.data(), key.size(), zero, &aes::kCbcOps));
  Bytes out(16);
  aes::DecryptBlock(&ctx, in.data(), out.data());
  return out;
}

// ---------------------------------------------------------------------------
// Literal CCM: the formatted MAC input as one buffer, CBC over it, then the
// CTR pass over the tag block and the payload.

Bytes RefCtr(const Bytes& key, Bytes counter, const Bytes& in) {
  Bytes out(in.size());
  for (size_t off = 0; off < in.size(); off += 16) {
    Bytes ks = RefCipher(key, counter, false);
    for (size_t i = off; i < std::min(in.size(), off + 16); ++i) out[i] = in[i] ^ ks[i - off];
    for (int i = 15; i >= 1; --i) {
      if (++counter[i] != 0) break;
    }
  }
  return out;
}

Bytes RefFormatted(const Bytes& nonce, const Bytes& adata, const Bytes& payload, size_t t, bool omit) {
  Bytes f(16);
  f[0] = static_cast<uint8_t>((adata.empty() ? 0 : 64) | ((t - 2) / 2) << 3 | 2);
  std::copy(nonce.begin(), nonce.end(), f.begin() + 1);
  f[13] = static_cast<uint8_t>(payload.size() >> 16);
  f[14] = static_cast<uint8_t>(payload.size() >> 8);
  f[15] = static_cast<uint8_t>(payload.size());
  Bytes a;
  if (!adata.empty() && !omit) {
    const size_t la = adata.size();
    if (la < 0xFF00) {
      a = {static_cast<uint8_t>(la >> 8), static_cast<uint8_t>(la)};
    } else {
      a = {0xFF,
           0xFE,
           static_cast<uint8_t>(la >> 24),
           static_cast<uint8_t>(la >> 16),
           static_cast<uint8_t>(la >> 8),
           static_cast<uint8_t>(la)};
    }
  }
  a.insert(a.end(), adata.begin(), adata.end());
  a.resize(aes::Pad16(a.size()));
  f.insert(f.end(), a.begin(), a.end());
  Bytes p = payload;
  p.resize(aes::Pad16(p.size()));
  f.insert(f.end(), p.begin(), p.end());
  return f;
}

Bytes RefTag(const Bytes& key, const Bytes& formatted, size_t t) {
  Bytes chain(16, 0);
  for (size_t off = 0; off < formatted.size(); off += 16) {
    for (int i = 0; i < 16; ++i) chain[i] ^= formatted[off + i];
    chain = RefCipher(key, chain, false);
  }
  chain.resize(t);
  return chain;
}

Bytes RefCounterZero(const Bytes& nonce) {
  Bytes a0(16, 0);
  a0[0] = 2;
  std::copy(nonce.begin(), nonce.end(), a0.begin() + 1);
  return a0;
}

Bytes RefCcmEncrypt(const Bytes& key, const Bytes& nonce, const Bytes& adata, const Bytes& payload, size_t t,
                    bool omit) {
  Bytes tag = RefTag(key, RefFormatted(nonce, adata, payload, t, omit), t);
  Bytes buffer = tag;
  buffer.resize(16);
  Bytes p = payload;
  p.resize(aes::Pad16(p.size()));
  buffer.insert(buffer.end(), p.begin(), p.end());
  Bytes r = RefCtr(key, RefCounterZero(nonce), buffer);
  Bytes out(r.begin() + 16, r.begin() + 16 + static_cast<long>(payload.size()));
  out.insert(out.end(), r.begin(), r.begin() + static_cast<long>(t));
  return out;
}

// The reversed convention exactly as its steps read.
Bytes ReverseAll(Bytes b) {
  std::reverse(b.begin(), b.end());
  return b;
}

Bytes ReverseEachBlock(Bytes b) {
  aes::ReverseBlocks(b.data(), b.size());
  return b;
}

Bytes RefCcmEncryptReversed(const Bytes& key, const Bytes& nonce, Bytes adata, Bytes payload, size_t t) {
  const size_t lp = payload.size();
  payload.resize(aes::Pad16(lp));
  adata.resize(aes::Pad16(adata.size()));
  Bytes c = RefCcmEncrypt(ReverseAll(key), ReverseAll(nonce), ReverseEachBlock(adata),
                          ReverseEachBlock(payload), t, true);
  Bytes cipher = ReverseEachBlock(Bytes(c.begin(), c.begin() + static_cast<long>(payload.size())));
  Bytes u = ReverseAll(Bytes(c.end() - static_cast<long>(t), c.end()));
  Bytes out(cipher.begin(), cipher.begin() + static_cast<long>(lp));
  out.insert(out.end(), u.begin(), u.end());
  return out;
}

Bytes Encrypt(const Bytes& key, const Bytes& nonce, const Bytes& adata, const Bytes& payload, size_t t,
              bool omit = false, aes::CcmTracer* tracer = nullptr) {
  Bytes out(payload.size() + t);
  EXPECT_EQ(aes::CcmEncrypt(key.data(), nonce.data(), adata.data(), adata.size(), payload.data(),
                            payload.size(), t, out.data(), omit, tracer),
            aes::CcmStatus::kOk);
  return out;
}

// Collects the formatted MAC input shown to the tracer.
class FormattedCollector : public aes::CcmTracer {
 public:
  void Trace(aes::CcmTracePoint point, const uint8_t* data, size_t size) override {
    if (point == aes::CcmTracePoint::kFormattedBegin) formatted.clear();
    if (point == aes::CcmTracePoint::kFormattedBytes) formatted.insert(formatted.end(), data, data + size);
    points.push_back(point);
  }
  Bytes formatted;
  std::vector<aes::CcmTracePoint> points;
};

const Bytes kSp38aKey = FromHex("2b7e151628aed2a6abf7158809cf4f3c");
const Bytes kSp38aPlain = FromHex(
    "6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710");

// ---------------------------------------------------------------------------

TEST(AesCore, MatchesFips197ExampleVectors) {
  const Bytes plain = FromHex("00112233445566778899aabbccddeeff");
  const struct {
    const char* key;
    const char* cipher;
  } kCases[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "8ea2b7ca516745bfeafc49904b496089"},
  };
  for (const auto& c : kCases) {
    const Bytes key = FromHex(c.key);
    EXPECT_EQ(ToHex(CoreEncrypt(key, plain)), c.cipher) << c.key;
    EXPECT_EQ(CoreDecrypt(key, FromHex(c.cipher)), plain) << c.key;
    EXPECT_EQ(ToHex(RefCipher(key, plain, false)), c.cipher) << c.key;
  }
}

TEST(AesCore, KeyExpansionMatchesFips197AppendixA) {
  aes::Context ctx;
  const uint8_t zero[16] = {};
  ASSERT_TRUE(aes::KeySetup(&ctx, kSp38aKey.data(), 16, zero, &aes::kCtrOps));
  EXPECT_EQ(ctx.rounds, 10);
  EXPECT_EQ(ctx.flags, aes::kNeedDecryptKeys);
  Bytes words;
  for (int i : {4, 5, 6, 7, 40, 41, 42, 43}) {
    for (int b = 0; b < 4; ++b) words.push_back(static_cast<uint8_t>(ctx.enc_keys[i] >> (8 * b)));
  }
  EXPECT_EQ(ToHex(words), "a0fafe1788542cb123a339392a6c7605d014f9a8c9ee2589e13f0cc8b6630ca6");
}

TEST(AesCore, RefusesOtherKeyLengthsAndDerivesDecryptKeysOnce) {
  aes::Context ctx;
  const uint8_t key[33] = {};
  for (size_t size : {0, 8, 15, 17, 20, 31, 33}) {
    EXPECT_FALSE(aes::KeySetup(&ctx, key, size, key, &aes::kCbcOps)) << size;
  }
  ASSERT_TRUE(aes::KeySetup(&ctx, key, 24, key, &aes::kCbcOps));
  EXPECT_EQ(ctx.rounds, 12);
  uint8_t block[16] = {};
  aes::EncryptBlock(ctx, block, block);
  EXPECT_EQ(ctx.flags & aes::kNeedDecryptKeys, aes::kNeedDecryptKeys);
  aes::DecryptBlock(&ctx, block, block);
  EXPECT_EQ(ctx.flags & aes::kNeedDecryptKeys, 0);
  EXPECT_EQ(Bytes(block, block + 16), Bytes(16, 0));
}

TEST(AesCore, MatchesLiteralCipherOnRandomBlocks) {
  std::mt19937 rng(197);
  // A few S-box entries as the standard tabulates them.
  EXPECT_EQ(Tables().sbox[0x00], 0x63);
  EXPECT_EQ(Tables().sbox[0x53], 0xED);
  EXPECT_EQ(Tables().sbox[0xFF], 0x16);
  for (int i = 0; i < 300; ++i) {
    const Bytes key = RandomBytes(rng, 16 + 8 * (i % 3));
    const Bytes block = RandomBytes(rng, 16);
    ASSERT_EQ(CoreEncrypt(key, block), RefCipher(key, block, false)) << i;
    ASSERT_EQ(CoreDecrypt(key, block), RefCipher(key, block, true)) << i;
  }
}

TEST(AesModes, CbcMatchesSp80038aF21AndF22) {
  const Bytes iv = FromHex("000102030405060708090a0b0c0d0e0f");
  const std::string expected =
      "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
      "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7";
  Bytes out(64);
  ASSERT_TRUE(aes::CbcEncrypt(kSp38aKey.data(), iv.data(), kSp38aPlain.data(), 64, out.data()));
  EXPECT_EQ(ToHex(out), expected);
  Bytes back(64);
  ASSERT_TRUE(aes::CbcDecrypt(kSp38aKey.data(), iv.data(), out.data(), 64, back.data()));
  EXPECT_EQ(back, kSp38aPlain);
  // In place gives the same plaintext.
  ASSERT_TRUE(aes::CbcDecrypt(kSp38aKey.data(), iv.data(), out.data(), 64, out.data()));
  EXPECT_EQ(out, kSp38aPlain);
  // Whole blocks only, and nothing is written otherwise.
  Bytes untouched(20, 0xAA);
  EXPECT_FALSE(aes::CbcEncrypt(kSp38aKey.data(), iv.data(), kSp38aPlain.data(), 20, untouched.data()));
  EXPECT_FALSE(aes::CbcDecrypt(kSp38aKey.data(), iv.data(), kSp38aPlain.data(), 20, untouched.data()));
  EXPECT_EQ(untouched, Bytes(20, 0xAA));
}

TEST(AesModes, CtrMatchesSp80038aF51AndF52) {
  const Bytes counter = FromHex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
  const std::string expected =
      "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff"
      "5ae4df3edbd5d35e5b4f09020db03eab1e031dda2fbe03d1792170a0f3009cee";
  Bytes out(64);
  aes::CtrCrypt(kSp38aKey.data(), counter.data(), kSp38aPlain.data(), 64, out.data());
  EXPECT_EQ(ToHex(out), expected);
  aes::CtrCrypt(kSp38aKey.data(), counter.data(), out.data(), 64, out.data());
  EXPECT_EQ(out, kSp38aPlain);
  // A partial final block is the start of the standard keystream.
  for (size_t size : {0, 1, 15, 17, 31, 33, 63}) {
    Bytes part(size);
    aes::CtrCrypt(kSp38aKey.data(), counter.data(), kSp38aPlain.data(), size, part.data());
    EXPECT_EQ(ToHex(part), expected.substr(0, 2 * size)) << size;
  }
}

TEST(AesModes, CounterCarryStopsBeforeByteZero) {
  Bytes a = FromHex("000102030405060708090a0b0c0dffff");
  aes::IncrementCounter(a.data());
  EXPECT_EQ(ToHex(a), "000102030405060708090a0b0c0e0000");
  Bytes b = FromHex("00ffffffffffffffffffffffffffffff");
  aes::IncrementCounter(b.data());
  EXPECT_EQ(ToHex(b), "00000000000000000000000000000000");
  Bytes c = FromHex("7fffffffffffffffffffffffffffffff");
  aes::IncrementCounter(c.data());
  EXPECT_EQ(ToHex(c), "7f000000000000000000000000000000");
  // The CTR pass follows the same rule: block 2 uses the wrapped counter.
  Bytes keystream(32);
  aes::CtrCrypt(kSp38aKey.data(), FromHex("5affffffffffffffffffffffffffffff").data(), Bytes(32).data(), 32,
                keystream.data());
  EXPECT_EQ(Bytes(keystream.begin() + 16, keystream.end()),
            RefCipher(kSp38aKey, FromHex("5a000000000000000000000000000000"), false));
}

TEST(AesModes, RunForwardRefusesPartialBlocksAndMissingOps) {
  aes::Context ctx;
  const uint8_t zero[16] = {};
  ASSERT_TRUE(aes::KeySetup(&ctx, kSp38aKey.data(), 16, zero, nullptr));
  Bytes out(32, 0xAA);
  EXPECT_FALSE(aes::RunForward(&ctx, kSp38aPlain.data(), out.data(), 32));
  ASSERT_TRUE(aes::KeySetup(&ctx, kSp38aKey.data(), 16, zero, &aes::kCtrOps));
  EXPECT_FALSE(aes::RunForward(&ctx, kSp38aPlain.data(), out.data(), 17));
  EXPECT_FALSE(aes::RunInverse(&ctx, kSp38aPlain.data(), out.data(), 31));
  EXPECT_EQ(out, Bytes(32, 0xAA));
}

TEST(AesCcm, MatchesSp80038cExample3) {
  const Bytes key = FromHex("404142434445464748494a4b4c4d4e4f");
  const Bytes nonce = FromHex("101112131415161718191a1b");
  const Bytes adata = FromHex("000102030405060708090a0b0c0d0e0f10111213");
  const Bytes payload = FromHex("202122232425262728292a2b2c2d2e2f3031323334353637");
  const std::string expected = "e3b201a9f5b71a7a9b1ceaeccd97e70b6176aad9a4428aa5484392fbc1b09951";
  const Bytes out = Encrypt(key, nonce, adata, payload, 8);
  EXPECT_EQ(ToHex(out), expected);

  Bytes plain(24);
  EXPECT_EQ(aes::CcmDecrypt(key.data(), nonce.data(), adata.data(), adata.size(), out.data(), 24,
                            out.data() + 24, 8, plain.data(), false, nullptr),
            aes::CcmStatus::kOk);
  EXPECT_EQ(plain, payload);

  // A flipped tag bit fails, and the plaintext is still written.
  Bytes bad = out;
  bad[30] ^= 0x01;
  Bytes plain2(24);
  EXPECT_EQ(aes::CcmDecrypt(key.data(), nonce.data(), adata.data(), adata.size(), bad.data(), 24,
                            bad.data() + 24, 8, plain2.data(), false, nullptr),
            aes::CcmStatus::kTagMismatch);
  EXPECT_EQ(plain2, payload);
  // So does a flipped ciphertext bit, with only that bit wrong in the plaintext.
  bad = out;
  bad[3] ^= 0x80;
  EXPECT_EQ(aes::CcmDecrypt(key.data(), nonce.data(), adata.data(), adata.size(), bad.data(), 24,
                            bad.data() + 24, 8, bad.data(), false, nullptr),
            aes::CcmStatus::kTagMismatch);
  Bytes flipped = payload;
  flipped[3] ^= 0x80;
  EXPECT_EQ(Bytes(bad.begin(), bad.begin() + 24), flipped);
}

TEST(AesCcm, FirstBlockFlagsAndLengthPrefix) {
  const Bytes key(16, 7);
  const Bytes nonce(12, 9);
  const Bytes payload(5, 1);
  const struct {
    size_t t;
    bool with_adata;
    uint8_t flags;
  } kCases[] = {{4, false, 0x0A}, {4, true, 0x4A}, {16, false, 0x3A}, {16, true, 0x7A}, {8, true, 0x5A}};
  for (const auto& c : kCases) {
    FormattedCollector trace;
    const Bytes adata = c.with_adata ? Bytes(3, 0xAD) : Bytes();
    Encrypt(key, nonce, adata, payload, c.t, false, &trace);
    ASSERT_GE(trace.formatted.size(), 16u);
    EXPECT_EQ(trace.formatted[0], c.flags) << c.t;
    EXPECT_EQ(Bytes(trace.formatted.begin() + 13, trace.formatted.begin() + 16), FromHex("000005"));
    // No associated data: no prefix and no associated-data block.
    EXPECT_EQ(trace.formatted.size(), c.with_adata ? 48u : 32u);
    if (c.with_adata) {
      EXPECT_EQ(ToHex(Bytes(trace.formatted.begin() + 16, trace.formatted.begin() + 21)), "0003adadad");
    }
  }
}

TEST(AesCcm, LengthPrefixSwitchesToSixBytesAt65280) {
  const Bytes key(16, 3);
  const Bytes nonce(12, 4);
  const Bytes payload(3, 5);
  std::mt19937 rng(65280);
  for (size_t la : {size_t{65279}, size_t{65280}}) {
    const Bytes adata = RandomBytes(rng, la);
    FormattedCollector trace;
    const Bytes out = Encrypt(key, nonce, adata, payload, 6, false, &trace);
    const Bytes prefix(trace.formatted.begin() + 16, trace.formatted.begin() + 22);
    if (la == 65279) {
      EXPECT_EQ(ToHex(Bytes(prefix.begin(), prefix.begin() + 2)), "feff");
      EXPECT_EQ(trace.formatted.size(), 16 + aes::Pad16(2 + la) + 16);
    } else {
      EXPECT_EQ(ToHex(prefix), "fffe0000ff00");
      EXPECT_EQ(trace.formatted.size(), 16 + aes::Pad16(6 + la) + 16);
    }
    EXPECT_EQ(trace.formatted, RefFormatted(nonce, adata, payload, 6, false));
    EXPECT_EQ(out, RefCcmEncrypt(key, nonce, adata, payload, 6, false));
  }
}

TEST(AesCcm, MatchesLiteralCcmOnRandomInputs) {
  std::mt19937 rng(3610);
  const size_t kSizes[] = {0, 1, 2, 13, 14, 15, 16, 17, 31, 32, 33, 47, 100};
  for (int i = 0; i < 120; ++i) {
    const Bytes key = RandomBytes(rng, 16);
    const Bytes nonce = RandomBytes(rng, 12);
    const Bytes adata = RandomBytes(rng, kSizes[rng() % 13]);
    const Bytes payload = RandomBytes(rng, kSizes[rng() % 13]);
    const size_t t = 4 + 2 * (rng() % 7);
    const bool omit = (i % 4) == 3;
    FormattedCollector trace;
    const Bytes out = Encrypt(key, nonce, adata, payload, t, omit, &trace);
    ASSERT_EQ(out, RefCcmEncrypt(key, nonce, adata, payload, t, omit)) << i;
    ASSERT_EQ(trace.formatted, RefFormatted(nonce, adata, payload, t, omit)) << i;
    // The same without a tracer.
    ASSERT_EQ(Encrypt(key, nonce, adata, payload, t, omit), out);

    Bytes plain(payload.size());
    ASSERT_EQ(aes::CcmDecrypt(key.data(), nonce.data(), adata.data(), adata.size(), out.data(),
                              payload.size(), out.data() + payload.size(), t, plain.data(), omit, nullptr),
              aes::CcmStatus::kOk);
    ASSERT_EQ(plain, payload);
  }
}

TEST(AesCcm, TraceOrder) {
  using P = aes::CcmTracePoint;
  const Bytes key(16, 1);
  const Bytes nonce(12, 2);
  FormattedCollector enc;
  const Bytes out = Encrypt(key, nonce, Bytes(2, 3), Bytes(20, 4), 8, false, &enc);
  std::vector<P> points;
  for (P p : enc.points) {
    if (p != P::kFormattedBytes) points.push_back(p);
  }
  EXPECT_EQ(points, (std::vector<P>{P::kKey, P::kNonce, P::kAdata, P::kPdata, P::kTagLength,
                                    P::kFormattedBegin, P::kFormattedEnd, P::kTag}));
  FormattedCollector dec;
  Bytes plain(20);
  aes::CcmDecrypt(key.data(), nonce.data(), Bytes(2, 3).data(), 2, out.data(), 20, out.data() + 20, 8,
                  plain.data(), false, &dec);
  points.clear();
  for (P p : dec.points) {
    if (p != P::kFormattedBytes) points.push_back(p);
  }
  EXPECT_EQ(points,
            (std::vector<P>{P::kKey, P::kNonce, P::kAdata, P::kCdata, P::kReceivedTag, P::kFormattedBegin,
                            P::kFormattedEnd, P::kTag, P::kDecryptedTag, P::kComputedTag}));
}

TEST(AesCcm, RefusesBadTagLengthsAndOverlongPayloads) {
  const Bytes key(16, 1);
  const Bytes nonce(12, 2);
  Bytes out(64, 0xAA);
  for (size_t t : {0, 2, 3, 5, 15, 17, 18}) {
    EXPECT_EQ(
        aes::CcmEncrypt(key.data(), nonce.data(), nullptr, 0, out.data(), 16, t, out.data(), false, nullptr),
        aes::CcmStatus::kBadTagLength)
        << t;
  }
  EXPECT_EQ(aes::CcmEncrypt(key.data(), nonce.data(), nullptr, 0, out.data(), aes::kCcmMaxPayload + 1, 8,
                            out.data(), false, nullptr),
            aes::CcmStatus::kTooLong);
  EXPECT_EQ(out, Bytes(64, 0xAA));
}

TEST(AesReversed, ReverseBlocksReversesTailAsOneUnit) {
  Bytes b(19);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i);
  aes::ReverseBlocks(b.data(), b.size());
  EXPECT_EQ(ToHex(b), "0f0e0d0c0b0a09080706050403020100121110");
}

TEST(AesReversed, CbcAndCtrAreStandardModesAroundReversals) {
  std::mt19937 rng(38);
  const Bytes key = RandomBytes(rng, 16);
  const Bytes iv = RandomBytes(rng, 16);
  for (size_t size : {0, 1, 15, 16, 17, 20, 33, 48}) {
    const Bytes plain = RandomBytes(rng, size);
    Bytes expected(size);
    const Bytes rin = ReverseEachBlock(plain);
    aes::CtrCrypt(ReverseAll(key).data(), ReverseAll(iv).data(), rin.data(), size, expected.data());
    expected = ReverseEachBlock(expected);
    Bytes data = plain;
    aes::CtrCryptReversed(key.data(), iv.data(), data.data(), size);
    EXPECT_EQ(data, expected) << size;
    aes::CtrCryptReversed(key.data(), iv.data(), data.data(), size);
    EXPECT_EQ(data, plain) << size;

    if (size % 16 != 0) {
      EXPECT_FALSE(aes::CbcEncryptReversed(key.data(), iv.data(), data.data(), size));
      EXPECT_EQ(data, plain);
      continue;
    }
    Bytes cbc_expected(size);
    aes::CbcEncrypt(ReverseAll(key).data(), ReverseAll(iv).data(), rin.data(), size, cbc_expected.data());
    cbc_expected = ReverseEachBlock(cbc_expected);
    ASSERT_TRUE(aes::CbcEncryptReversed(key.data(), iv.data(), data.data(), size));
    EXPECT_EQ(data, cbc_expected) << size;
    ASSERT_TRUE(aes::CbcDecryptReversed(key.data(), iv.data(), data.data(), size));
    EXPECT_EQ(data, plain) << size;
  }
}

TEST(AesReversed, CcmRoundTripsForEveryTagLength) {
  std::mt19937 rng(2026);
  for (size_t size : {0, 1, 15, 16, 17, 20, 33}) {
    for (size_t t = 4; t <= 16; t += 2) {
      for (size_t la : {0, 5, 16, 21}) {
        const Bytes key = RandomBytes(rng, 16);
        const Bytes nonce = RandomBytes(rng, 12);
        const Bytes adata = RandomBytes(rng, la);
        const Bytes payload = RandomBytes(rng, size);

        Bytes buffer = payload;
        buffer.resize(aes::Pad16(size) + t);
        Bytes adata_room = adata;
        adata_room.resize(aes::Pad16(la));
        ASSERT_EQ(aes::CcmEncryptReversed(key.data(), nonce.data(), adata_room.data(), la, buffer.data(),
                                          size, t, nullptr),
                  aes::CcmStatus::kOk);
        buffer.resize(size + t);
        ASSERT_EQ(buffer, RefCcmEncryptReversed(key, nonce, adata, payload, t)) << size << " " << t;

        // Decrypt with the tag at the end of the buffer, as aescli does.
        Bytes decrypted = buffer;
        decrypted.resize(aes::Pad16(size + t));
        adata_room = adata;
        adata_room.resize(aes::Pad16(la));
        ASSERT_EQ(aes::CcmDecryptReversed(key.data(), nonce.data(), adata_room.data(), la, decrypted.data(),
                                          size, decrypted.data() + size, t, nullptr),
                  aes::CcmStatus::kOk)
            << size << " " << t << " " << la;
        ASSERT_EQ(Bytes(decrypted.begin(), decrypted.begin() + static_cast<long>(size)), payload);

        // A changed ciphertext byte fails verification.
        if (size > 0) {
          Bytes tampered = buffer;
          tampered[size - 1] ^= 0x10;
          tampered.resize(aes::Pad16(size + t));
          adata_room = adata;
          adata_room.resize(aes::Pad16(la));
          const Bytes tag(tampered.begin() + static_cast<long>(size),
                          tampered.begin() + static_cast<long>(size + t));
          ASSERT_EQ(aes::CcmDecryptReversed(key.data(), nonce.data(), adata_room.data(), la, tampered.data(),
                                            size, tag.data(), t, nullptr),
                    aes::CcmStatus::kTagMismatch);
        }
      }
    }
  }
}

TEST(AesReversed, CcmTwentyBytePayloadGivesTwentyEightBytes) {
  const Bytes key = FromHex("000102030405060708090a0b0c0d0e0f");
  const Bytes nonce = FromHex("a0a1a2a3a4a5a6a7a8a9aaab");
  Bytes payload(20);
  for (size_t i = 0; i < 20; ++i) payload[i] = static_cast<uint8_t>(0x30 + i);
  Bytes buffer = payload;
  buffer.resize(32 + 8);
  aes::CcmEncryptReversed(key.data(), nonce.data(), nullptr, 0, buffer.data(), 20, 8, nullptr);
  buffer.resize(28);
  EXPECT_EQ(buffer, RefCcmEncryptReversed(key, nonce, {}, payload, 8));
  // With the convention off the result differs.
  EXPECT_NE(buffer, Encrypt(key, nonce, {}, payload, 8));
}

}  // namespace
