#include "aescli_cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using aescli::CipherMode;
using aescli::CipherStatus;

void Give(aescli::FixedValue* value, uint8_t fill) {
  std::memset(value->bytes, fill, sizeof value->bytes);
  value->present = true;
}

CipherStatus StatusOf(const aescli::CipherRequest& request, size_t text_size) {
  aescli::WorkBuffer text(std::vector<uint8_t>(text_size, 0x5a));
  return aescli::RunCipher(request, &text, nullptr).status;
}

TEST(AescliCipher, ChecksEachModeInItsOrder) {
  aescli::CipherRequest r;
  EXPECT_EQ(StatusOf(r, 16), CipherStatus::kNoMode);
  r.mode = CipherMode::kCtr;
  EXPECT_EQ(StatusOf(r, 16), CipherStatus::kNoKey);
  Give(&r.key, 1);
  EXPECT_EQ(StatusOf(r, 16), CipherStatus::kNoCounter);
  r.mode = CipherMode::kCbcDecrypt;
  EXPECT_EQ(StatusOf(r, 15), CipherStatus::kNoIv);  // the IV before the length
  Give(&r.iv, 2);
  EXPECT_EQ(StatusOf(r, 15), CipherStatus::kNotWholeBlocks);
  EXPECT_EQ(StatusOf(r, 32), CipherStatus::kOk);
  r.mode = CipherMode::kCcmDecrypt;
  EXPECT_EQ(StatusOf(r, 3), CipherStatus::kNoNonce);
  Give(&r.nonce, 3);
  EXPECT_EQ(StatusOf(r, 3), CipherStatus::kNoMacLength);
  r.mac_length = 5;
  EXPECT_EQ(StatusOf(r, 3), CipherStatus::kBadMacLength);
  r.mac_length = 8;
  EXPECT_EQ(StatusOf(r, 7), CipherStatus::kShorterThanMac);
  aescli::WorkBuffer big(std::vector<uint8_t>(aes::kCcmMaxPayload + 9));
  const aescli::CipherResult too_long = aescli::RunCipher(r, &big, nullptr);
  EXPECT_EQ(too_long.status, CipherStatus::kTextTooLong);
  EXPECT_EQ(too_long.text_size, aes::kCcmMaxPayload + 1);
}

TEST(AescliCipher, CcmRoundTripAndAMismatchStillGivesThePlaintext) {
  aescli::CipherRequest r;
  r.mode = CipherMode::kCcmEncrypt;
  Give(&r.key, 7);
  Give(&r.nonce, 8);
  r.mac_length = 16;
  r.adata = {1, 2, 3};
  const std::vector<uint8_t> plain(37, 0x42);
  aescli::WorkBuffer text(plain);
  const aescli::CipherResult sealed = aescli::RunCipher(r, &text, nullptr);
  ASSERT_EQ(sealed.status, CipherStatus::kOk);
  ASSERT_EQ(sealed.size, plain.size() + 16);
  std::vector<uint8_t> message(sealed.data, sealed.data + sealed.size);

  r.mode = CipherMode::kCcmDecrypt;
  aescli::WorkBuffer good(message);
  const aescli::CipherResult opened = aescli::RunCipher(r, &good, nullptr);
  ASSERT_EQ(opened.status, CipherStatus::kOk);
  EXPECT_EQ(std::vector<uint8_t>(opened.data, opened.data + opened.size), plain);

  message.back() ^= 1;
  aescli::WorkBuffer bad(message);
  const aescli::CipherResult refused = aescli::RunCipher(r, &bad, nullptr);
  ASSERT_EQ(refused.status, CipherStatus::kTagMismatch);
  EXPECT_EQ(std::vector<uint8_t>(refused.data, refused.data + refused.size), plain);
}

TEST(AescliCipher, NamesTheModes) {
  CipherMode mode = CipherMode::kNone;
  EXPECT_TRUE(aescli::ParseCipherMode("cbc", &mode));
  EXPECT_EQ(mode, CipherMode::kCbcEncrypt);
  EXPECT_TRUE(aescli::ParseCipherMode("ccm_decrypt", &mode));
  EXPECT_EQ(mode, CipherMode::kCcmDecrypt);
  EXPECT_FALSE(aescli::ParseCipherMode("CTR", &mode));
  EXPECT_EQ(mode, CipherMode::kCcmDecrypt);
}

}  // namespace

namespace {

// A result sink that keeps what it is given.
class Collect : public aescli::ResultSink {
 public:
  bool Open() override {
    ++opened;
    return true;
  }
  bool Write(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  int opened = 0;
  std::vector<uint8_t> bytes;
};

// The text read from memory, its length told or not.
aescli::TextSource MemorySource(const std::vector<uint8_t>& text, size_t* at, bool known) {
  aescli::TextSource source;
  source.size = known ? static_cast<long long>(text.size()) : -1;
  source.read = [&text, at](uint8_t* data, size_t size) -> long long {
    const size_t n = std::min(size, text.size() - *at);
    std::copy(text.begin() + static_cast<std::ptrdiff_t>(*at), text.begin() + static_cast<std::ptrdiff_t>(*at + n),
              data);
    *at += n;
    return static_cast<long long>(n);
  };
  return source;
}

// Streaming gives what the whole-buffer run gives, for every mode and
// convention, at lengths around the piece size and around block multiples.
TEST(AescliCipher, StreamingMatchesTheWholeBufferRun) {
  std::vector<uint8_t> base(aescli::kPieceSize * 2 + 64);
  uint32_t x = 7;
  for (auto& b : base) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  const CipherMode modes[] = {CipherMode::kCtr, CipherMode::kCbcEncrypt, CipherMode::kCbcDecrypt,
                              CipherMode::kCcmEncrypt, CipherMode::kCcmDecrypt};
  const size_t piece = aescli::kPieceSize;
  for (size_t size : {size_t{0}, size_t{5}, size_t{16}, size_t{40}, piece - 16, piece - 3, piece, piece + 8,
                      piece + 16, 2 * piece + 33}) {
    for (CipherMode mode : modes) {
      for (bool reversed : {false, true}) {
        aescli::CipherRequest r;
        r.mode = mode;
        Give(&r.key, 1);
        Give(&r.counter, 0xFE);
        Give(&r.iv, 3);
        Give(&r.nonce, 4);
        r.mac_length = 12;
        r.adata = {9, 8, 7};
        r.reversed = reversed;
        const std::vector<uint8_t> text(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(size));
        aescli::WorkBuffer whole(text);
        const aescli::CipherResult expected = aescli::RunCipher(r, &whole, nullptr);
        for (bool known : {true, false}) {
          if (!known && (mode == CipherMode::kCcmEncrypt || mode == CipherMode::kCcmDecrypt)) continue;
          SCOPED_TRACE(testing::Message() << size << " mode " << static_cast<int>(mode) << (reversed ? " -r" : "")
                                          << (known ? " known" : " unknown"));
          size_t at = 0;
          Collect sink;
          const aescli::CipherResult got = aescli::StreamCipher(r, MemorySource(text, &at, known), nullptr, &sink);
          ASSERT_EQ(got.status, expected.status);
          if (expected.status != CipherStatus::kOk && expected.status != CipherStatus::kTagMismatch) {
            // Refused before any output; an untold length only at its end.
            EXPECT_EQ(sink.opened, !known && expected.status == CipherStatus::kNotWholeBlocks ? 1 : 0);
            continue;
          }
          EXPECT_EQ(sink.opened, 1);
          EXPECT_TRUE(sink.bytes == std::vector<uint8_t>(expected.data, expected.data + expected.size));
        }
      }
    }
  }
}

}  // namespace
