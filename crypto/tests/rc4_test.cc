#include "rc4.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "rc4_reference.h"

namespace {

std::vector<uint8_t> KeyStream(const std::vector<uint8_t>& key, size_t offset, size_t len) {
  rc4::State s;
  rc4::Init(&s, key.data(), key.size());
  std::vector<uint8_t> buf(offset + len, 0);
  rc4::Crypt(&s, buf.data(), buf.size());
  return std::vector<uint8_t>(buf.begin() + static_cast<long>(offset), buf.end());
}

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int b : v) out.push_back(static_cast<uint8_t>(b));
  return out;
}

// Key-stream excerpts from RFC 6229 (offsets 0 and 16, and 240 for the 40-bit key).
TEST(Rc4, MatchesRfc6229KeyStreams) {
  std::vector<uint8_t> key40 = Bytes({0x01, 0x02, 0x03, 0x04, 0x05});
  EXPECT_EQ(KeyStream(key40, 0, 16), Bytes({0xb2, 0x39, 0x63, 0x05, 0xf0, 0x3d, 0xc0, 0x27, 0xcc, 0xc3, 0x52,
                                            0x4a, 0x0a, 0x11, 0x18, 0xa8}));
  EXPECT_EQ(KeyStream(key40, 16, 16), Bytes({0x69, 0x82, 0x94, 0x4f, 0x18, 0xfc, 0x82, 0xd5, 0x89, 0xc4, 0x03,
                                             0xa4, 0x7a, 0x0d, 0x09, 0x19}));
  std::vector<uint8_t> key128;
  for (int i = 1; i <= 16; ++i) key128.push_back(static_cast<uint8_t>(i));
  EXPECT_EQ(KeyStream(key128, 0, 16), Bytes({0x9a, 0xc7, 0xcc, 0x9a, 0x60, 0x9d, 0x1e, 0xf7, 0xb2, 0x93, 0x28,
                                             0x99, 0xcd, 0xe4, 0x1b, 0x97}));
  EXPECT_EQ(KeyStream(key128, 16, 16), Bytes({0x52, 0x48, 0xc4, 0x95, 0x90, 0x14, 0x12, 0x6a, 0x6e, 0x8a, 0x84,
                                              0xf1, 0x1d, 0x1a, 0x9e, 0x1c}));
}

TEST(Rc4, EncryptsClassicPlaintexts) {
  struct Case {
    std::string key, plain;
    std::vector<uint8_t> cipher;
  } cases[] = {
      {"Key", "Plaintext", Bytes({0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3})},
      {"Wiki", "pedia", Bytes({0x10, 0x21, 0xBF, 0x04, 0x20})},
      {"Secret", "Attack at dawn",
       Bytes({0x45, 0xA0, 0x1F, 0x64, 0x5F, 0xC3, 0x5B, 0x38, 0x35, 0x52, 0x54, 0x4B, 0x9B, 0xF5})},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> data(c.plain.begin(), c.plain.end());
    rc4::State s;
    rc4::Init(&s, reinterpret_cast<const uint8_t*>(c.key.data()), c.key.size());
    rc4::Crypt(&s, data.data(), data.size());
    EXPECT_EQ(data, c.cipher) << c.key;
  }
}

TEST(Rc4, SplitCallsContinueTheKeyStream) {
  std::vector<uint8_t> key = Bytes({7, 8, 9});
  std::vector<uint8_t> whole = KeyStream(key, 0, 100);
  rc4::State s;
  rc4::Init(&s, key.data(), key.size());
  std::vector<uint8_t> parts(100, 0);
  rc4::Crypt(&s, parts.data(), 33);
  rc4::Crypt(&s, parts.data() + 33, 67);
  EXPECT_EQ(parts, whole);
}

}  // namespace

namespace {

TEST(Rc4, MatchesTheLiteralLoopOnRandomKeysAndSplits) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> key(1 + rng() % 16);
    for (auto& k : key) k = static_cast<uint8_t>(rng() % (round % 3 == 0 ? 2 : 256));  // many equal bytes too
    std::vector<uint8_t> data(rng() % 3000);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> expected = data;
    rc4::State fast, literal;
    rc4::Init(&fast, key.data(), key.size());
    literal = fast;
    rc4_reference::Crypt(&literal, expected.data(), expected.size());
    size_t done = 0;
    while (done < data.size()) {  // pieces of random length, some empty
      const size_t piece = std::min(data.size() - done, static_cast<size_t>(rng() % 700));
      rc4::Crypt(&fast, data.data() + done, piece);
      done += piece;
    }
    ASSERT_EQ(data, expected) << "round " << round;
    EXPECT_EQ(0, std::memcmp(fast.s, literal.s, sizeof fast.s));
    EXPECT_EQ(fast.i, literal.i);
    EXPECT_EQ(fast.j, literal.j);
  }
}

}  // namespace
