#include "aescli_cipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using aes::CipherMode;
using aes::CipherStatus;

void Give(aes::FixedValue* value, uint8_t fill) {
  std::memset(value->bytes, fill, sizeof value->bytes);
  value->present = true;
}

CipherStatus StatusOf(const aes::CipherRequest& request, size_t text_size) {
  aes::WorkBuffer text(std::vector<uint8_t>(text_size, 0x5a));
  return aes::RunCipher(request, &text, nullptr).status;
}

TEST(AescliCipher, ChecksEachModeInItsOrder) {
  aes::CipherRequest r;
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
  aes::WorkBuffer big(std::vector<uint8_t>(aes::kCcmMaxPayload + 9));
  const aes::CipherResult too_long = aes::RunCipher(r, &big, nullptr);
  EXPECT_EQ(too_long.status, CipherStatus::kTextTooLong);
  EXPECT_EQ(too_long.text_size, aes::kCcmMaxPayload + 1);
}

TEST(AescliCipher, CcmRoundTripAndAMismatchStillGivesThePlaintext) {
  aes::CipherRequest r;
  r.mode = CipherMode::kCcmEncrypt;
  Give(&r.key, 7);
  Give(&r.nonce, 8);
  r.mac_length = 16;
  r.adata = {1, 2, 3};
  const std::vector<uint8_t> plain(37, 0x42);
  aes::WorkBuffer text(plain);
  const aes::CipherResult sealed = aes::RunCipher(r, &text, nullptr);
  ASSERT_EQ(sealed.status, CipherStatus::kOk);
  ASSERT_EQ(sealed.size, plain.size() + 16);
  std::vector<uint8_t> message(sealed.data, sealed.data + sealed.size);

  r.mode = CipherMode::kCcmDecrypt;
  aes::WorkBuffer good(message);
  const aes::CipherResult opened = aes::RunCipher(r, &good, nullptr);
  ASSERT_EQ(opened.status, CipherStatus::kOk);
  EXPECT_EQ(std::vector<uint8_t>(opened.data, opened.data + opened.size), plain);

  message.back() ^= 1;
  aes::WorkBuffer bad(message);
  const aes::CipherResult refused = aes::RunCipher(r, &bad, nullptr);
  ASSERT_EQ(refused.status, CipherStatus::kTagMismatch);
  EXPECT_EQ(std::vector<uint8_t>(refused.data, refused.data + refused.size), plain);
}

TEST(AescliCipher, NamesTheModes) {
  CipherMode mode = CipherMode::kNone;
  EXPECT_TRUE(aes::ParseCipherMode("cbc", &mode));
  EXPECT_EQ(mode, CipherMode::kCbcEncrypt);
  EXPECT_TRUE(aes::ParseCipherMode("ccm_decrypt", &mode));
  EXPECT_EQ(mode, CipherMode::kCcmDecrypt);
  EXPECT_FALSE(aes::ParseCipherMode("CTR", &mode));
  EXPECT_EQ(mode, CipherMode::kCcmDecrypt);
}

}  // namespace
