// The streaming modes against the whole-buffer operations (themselves held
// to the literal references and the standards' vectors in aes_test.cc):
// lengths around every multiple of the block size, pieces of random whole
// blocks, both conventions, on the table core and on the AES instructions.
#include "aes_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "aes_hw.h"
#include "aes_modes.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(std::mt19937& rng, size_t size) {
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Calls `process(in, out, size)` over `data` in pieces of random whole
// blocks (some empty), the last piece taking the rest.
template <typename Process>
Bytes InPieces(std::mt19937& rng, const Bytes& data, Process process) {
  Bytes out(data.size());
  size_t done = 0;
  while (data.size() - done >= aes::kBlockSize && rng() % 4 != 0) {
    const size_t blocks = std::min((data.size() - done) / aes::kBlockSize, size_t{rng() % 6});
    process(data.data() + done, out.data() + done, blocks * aes::kBlockSize);
    done += blocks * aes::kBlockSize;
  }
  process(data.data() + done, out.data() + done, data.size() - done);
  return out;
}

// 4111 bytes take the counter past a carry out of its last byte.
const size_t kLengths[] = {0, 1, 15, 16, 17, 31, 32, 33, 47, 48, 49, 127, 128, 129, 200, 1023, 4111};

class AesStream : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    aes::hw::SetAllowed(GetParam());
    if (GetParam() && !aes::hw::Enabled()) GTEST_SKIP() << "no AES instructions here (or AESCLI_NO_HW set)";
  }
  void TearDown() override { aes::hw::SetAllowed(true); }
};

TEST_P(AesStream, CtrAndCbcMatchTheWholeBufferOperations) {
  std::mt19937 rng(38);
  for (size_t size : kLengths) {
    for (bool reversed : {false, true}) {
      SCOPED_TRACE(testing::Message() << size << (reversed ? " reversed" : ""));
      const Bytes key = RandomBytes(rng, 16);
      Bytes block = RandomBytes(rng, 16);
      if (size == 200) std::fill(block.begin() + 13, block.end(), 0xFF);  // a carry inside the text
      const Bytes data = RandomBytes(rng, size);

      Bytes expected = data;
      reversed ? aes::CtrCryptReversed(key.data(), block.data(), expected.data(), size)
               : aes::CtrCrypt(key.data(), block.data(), data.data(), size, expected.data());
      aes::CtrStream ctr(key.data(), block.data(), reversed);
      EXPECT_EQ(InPieces(rng, data, [&](const uint8_t* in, uint8_t* out, size_t n) { ctr.Process(in, out, n); }),
                expected);

      if (size % aes::kBlockSize != 0) continue;
      for (bool encrypt : {true, false}) {
        expected = data;
        if (reversed) {
          encrypt ? aes::CbcEncryptReversed(key.data(), block.data(), expected.data(), size)
                  : aes::CbcDecryptReversed(key.data(), block.data(), expected.data(), size);
        } else {
          encrypt ? aes::CbcEncrypt(key.data(), block.data(), data.data(), size, expected.data())
                  : aes::CbcDecrypt(key.data(), block.data(), data.data(), size, expected.data());
        }
        aes::CbcStream cbc(key.data(), block.data(), encrypt, reversed);
        EXPECT_EQ(InPieces(rng, data,
                           [&](const uint8_t* in, uint8_t* out, size_t n) { ASSERT_TRUE(cbc.Process(in, out, n)); }),
                  expected)
            << (encrypt ? "encrypt" : "decrypt");
      }
      aes::CbcStream cbc(key.data(), block.data(), true, reversed);
      Bytes out(17);
      EXPECT_FALSE(cbc.Process(data.data(), out.data(), 17 > size ? 0 : 17) && size >= 17);
    }
  }
}

TEST_P(AesStream, CcmMatchesTheWholeBufferOperations) {
  std::mt19937 rng(3610);
  for (size_t size : kLengths) {
    for (bool reversed : {false, true}) {
      for (size_t t = 4; t <= 16; t += 2) {
        SCOPED_TRACE(testing::Message() << size << " t=" << t << (reversed ? " reversed" : ""));
        const Bytes key = RandomBytes(rng, 16);
        const Bytes nonce = RandomBytes(rng, 12);
        const Bytes adata = RandomBytes(rng, kLengths[rng() % 16]);
        const Bytes payload = RandomBytes(rng, size);

        // The whole-buffer result: ciphertext, then the encrypted tag.
        Bytes sealed(aes::Pad16(size) + 16);
        std::copy(payload.begin(), payload.end(), sealed.begin());
        Bytes scratch(aes::Pad16(adata.size()));
        std::copy(adata.begin(), adata.end(), scratch.begin());
        ASSERT_EQ(reversed ? aes::CcmEncryptReversed(key.data(), nonce.data(), scratch.data(), adata.size(),
                                                     sealed.data(), size, t, nullptr)
                           : aes::CcmEncrypt(key.data(), nonce.data(), adata.data(), adata.size(), payload.data(),
                                             size, t, sealed.data(), false, nullptr),
                  aes::CcmStatus::kOk);
        sealed.resize(size + t);

        aes::CcmStream enc(key.data(), nonce.data(), adata.data(), adata.size(), size, t, true, reversed);
        Bytes got = InPieces(rng, payload, [&](const uint8_t* in, uint8_t* out, size_t n) { enc.Process(in, out, n); });
        got.resize(size + t);
        enc.FinishEncrypt(got.data() + size);
        ASSERT_EQ(got, sealed);

        // Decryption gives the payload back and accepts the tag; one changed
        // bit anywhere is refused, with the plaintext given all the same.
        const Bytes cipher(sealed.begin(), sealed.begin() + static_cast<std::ptrdiff_t>(size));
        for (int tamper = -1; tamper < 2; ++tamper) {
          Bytes tag(sealed.begin() + static_cast<std::ptrdiff_t>(size), sealed.end());
          if (tamper == 0) tag[rng() % t] ^= 0x10;
          Bytes in = cipher;
          if (tamper == 1 && size != 0) in[rng() % size] ^= 0x01;
          aes::CcmStream dec(key.data(), nonce.data(), adata.data(), adata.size(), size, t, false, reversed);
          const Bytes plain = InPieces(rng, in, [&](const uint8_t* i, uint8_t* o, size_t n) { dec.Process(i, o, n); });
          const bool match = dec.FinishDecrypt(tag.data());
          EXPECT_EQ(match, tamper < 0 || (tamper == 1 && size == 0)) << tamper;
          if (tamper < 1) {
            EXPECT_EQ(plain, payload);
          }
        }
      }
    }
  }
}

std::string CoreName(const ::testing::TestParamInfo<bool>& core) { return core.param ? "Instructions" : "Table"; }

INSTANTIATE_TEST_SUITE_P(Cores, AesStream, ::testing::Values(false, true), CoreName);

}  // namespace
