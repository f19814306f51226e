// The AES instructions path against the table core: identical bytes for
// every mode, both byte-order conventions, lengths around block edges,
// counter carries and every tag length.
#include "aes_hw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "aes_modes.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Random(std::mt19937 *rng, size_t size) {
  Bytes b(size);
  for (auto &x : b) x = static_cast<uint8_t>((*rng)());
  return b;
}

// Runs `op` once on the table core and once on the instructions, on copies
// of the same input, and returns both outputs.
template <typename Op>
void ExpectSamePaths(const Op &op, const std::string &what) {
  aes::hw::SetAllowed(false);
  const Bytes table = op();
  aes::hw::SetAllowed(true);
  const Bytes hw = op();
  EXPECT_EQ(table, hw) << what;
}

class AesHw : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!aes::hw::Enabled()) GTEST_SKIP() << "no AES instructions here (or AESCLI_NO_HW set)";
  }
  void TearDown() override { aes::hw::SetAllowed(true); }
  std::mt19937 rng_{20261209};
};

TEST_F(AesHw, CtrAndCbcMatchTheTableCoreAtEveryLength) {
  std::vector<size_t> sizes;
  for (size_t n = 0; n <= 300; ++n) sizes.push_back(n);
  sizes.push_back((size_t{3} << 20) + 5);
  for (size_t n : sizes) {
    const Bytes key = Random(&rng_, 16), iv = Random(&rng_, 16), data = Random(&rng_, n);
    ExpectSamePaths(
        [&] {
          Bytes out(n);
          aes::CtrCrypt(key.data(), iv.data(), data.data(), n, out.data());
          return out;
        },
        "ctr " + std::to_string(n));
    ExpectSamePaths(
        [&] {
          Bytes d = data;
          aes::CtrCryptReversed(key.data(), iv.data(), d.data(), n);
          return d;
        },
        "ctr -r " + std::to_string(n));
    if (n % 16 != 0) continue;
    for (bool reversed : {false, true}) {
      ExpectSamePaths(
          [&] {
            Bytes d = data;
            if (reversed) {
              aes::CbcEncryptReversed(key.data(), iv.data(), d.data(), n);
            } else {
              aes::CbcEncrypt(key.data(), iv.data(), d.data(), n,
                              d.data());  // in place
            }
            return d;
          },
          "cbc enc " + std::to_string(n));
      ExpectSamePaths(
          [&] {
            Bytes d = data;
            if (reversed) {
              aes::CbcDecryptReversed(key.data(), iv.data(), d.data(), n);
            } else {
              aes::CbcDecrypt(key.data(), iv.data(), d.data(), n, d.data());
            }
            return d;
          },
          "cbc dec " + std::to_string(n));
    }
  }
}

TEST_F(AesHw, CounterCarriesStopAtByteOne) {
  const Bytes key = Random(&rng_, 16);
  const Bytes data = Random(&rng_, 16 * 40 + 7);
  // Counters about to carry out of bytes 15, 14, 13, 12 and out of byte 1.
  for (int carry_from : {15, 14, 13, 12, 1}) {
    Bytes counter = Random(&rng_, 16);
    for (int i = carry_from; i < 16; ++i) counter[static_cast<size_t>(i)] = 0xFF;
    counter[15] = 0xF0;  // a carry inside the first group of blocks in flight
    ExpectSamePaths(
        [&] {
          Bytes out(data.size());
          aes::CtrCrypt(key.data(), counter.data(), data.data(), data.size(), out.data());
          return out;
        },
        "carry from byte " + std::to_string(carry_from));
  }
}

TEST_F(AesHw, CcmMatchesTheTableCoreForEveryTagLength) {
  for (size_t tag = 4; tag <= 16; tag += 2) {
    for (size_t n : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{250}, size_t{4099}}) {
      const Bytes key = Random(&rng_, 16), nonce = Random(&rng_, 12), data = Random(&rng_, n);
      const Bytes adata = Random(&rng_, n % 37);
      const std::string what = "ccm tag " + std::to_string(tag) + " size " + std::to_string(n);
      ExpectSamePaths(
          [&] {
            Bytes out(n + tag);
            aes::CcmEncrypt(key.data(), nonce.data(), adata.data(), adata.size(), data.data(), n, tag,
                            out.data(), false, nullptr);
            Bytes plain(n);
            const auto status =
                aes::CcmDecrypt(key.data(), nonce.data(), adata.data(), adata.size(), out.data(), n,
                                out.data() + n, tag, plain.data(), false, nullptr);
            EXPECT_EQ(status, aes::CcmStatus::kOk);
            EXPECT_EQ(plain, data);
            return out;
          },
          what);
      ExpectSamePaths(
          [&] {
            Bytes d = data;
            d.resize(aes::Pad16(n) + tag);
            Bytes a = adata;
            a.resize(aes::Pad16(a.size()));
            aes::CcmEncryptReversed(key.data(), nonce.data(), a.data(), adata.size(), d.data(), n, tag,
                                    nullptr);
            d.resize(n + tag);
            return d;
          },
          what + " -r");
    }
  }
}

}  // namespace
