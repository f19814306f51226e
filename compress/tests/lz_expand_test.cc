#include "lz_expand.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "lz_backward.h"
#include "lz_test_util.h"

namespace {

using backlz::ExpandStatus;
using lz_test::Bytes;

// Expands `image` at the start of a heap buffer of exactly `capacity` bytes,
// so that the sanitizer sees any access outside it.
ExpandStatus Expand(const Bytes& image, size_t capacity, Bytes* out = nullptr) {
  Bytes buffer(capacity);
  std::memcpy(buffer.data(), image.data(), std::min(image.size(), capacity));
  size_t size = 0;
  ExpandStatus status = backlz::ExpandBackwardInPlace(buffer.data(), capacity, image.size(), &size);
  if (out && status == ExpandStatus::kOk)
    *out = Bytes(buffer.begin(), buffer.begin() + static_cast<long>(size));
  return status;
}

void PutWord(Bytes* b, size_t at, uint32_t v) { support::StoreLe32(b->data() + at, v); }

// Image holding `stream` (low to high) with no raw prefix, expanding to
// `size` bytes (at least the image size).
Bytes Image(const Bytes& stream, uint32_t size) {
  Bytes image = stream;
  while (image.size() % 4) image.push_back(0xFF);
  uint32_t footer = static_cast<uint32_t>(image.size() - stream.size()) + 8;
  image.resize(image.size() + 8);
  uint32_t t = static_cast<uint32_t>(image.size());
  PutWord(&image, t - 8, t | (footer << 24));
  PutWord(&image, t - 4, size - t);
  return image;
}

Bytes SampleImage(const Bytes& input) {
  Bytes buffer = input;
  int t = backlz::CompressBackward(buffer.data(), static_cast<int>(buffer.size()));
  EXPECT_GT(t, 0);
  buffer.resize(static_cast<size_t>(t > 0 ? t : 0));
  return buffer;
}

// Three literals 'c' 'b' 'a' from the top, then five matches of 18 at
// distance 3 (longer than their distance, which the encoder never makes but
// the format allows): "abc" 31 times. T = 14 stream + 2 fill + 8 = 24.
Bytes HandMade() {
  Bytes stream = {0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0, 'a', 'b', 'c', 0x1F};
  return Image(stream, 93);
}

TEST(LzExpand, ExpandsHandMadeImage) {
  Bytes image = HandMade();
  ASSERT_EQ(image.size(), 24u);
  Bytes out;
  ASSERT_EQ(Expand(image, 93, &out), ExpandStatus::kOk);
  std::string expected;
  for (int i = 0; i < 31; ++i) expected += "abc";
  EXPECT_EQ(std::string(out.begin(), out.end()), expected);
  // A larger buffer is fine; the expanded size stays the same.
  ASSERT_EQ(Expand(image, 200, &out), ExpandStatus::kOk);
  EXPECT_EQ(out.size(), 93u);
}

TEST(LzExpand, RefusesBadFooters) {
  const Bytes good = HandMade();
  const size_t t = good.size();
  EXPECT_EQ(Expand(Bytes(7, 0), 64), ExpandStatus::kBadFooter);
  EXPECT_EQ(Expand(good, t - 1), ExpandStatus::kBadFooter);  // image longer than the buffer
  Bytes b = good;
  b[t - 5] = 7;  // footer length below 8
  EXPECT_EQ(Expand(b, 93), ExpandStatus::kBadFooter);
  b[t - 5] = 12;  // above 11
  EXPECT_EQ(Expand(b, 93), ExpandStatus::kBadFooter);
  b = good;
  PutWord(&b, t - 8, 25u | (10u << 24));  // region longer than the image
  EXPECT_EQ(Expand(b, 93), ExpandStatus::kBadFooter);
  PutWord(&b, t - 8, 9u | (10u << 24));  // region shorter than the footer
  EXPECT_EQ(Expand(b, 93), ExpandStatus::kBadFooter);
  EXPECT_EQ(Expand(good, 92), ExpandStatus::kTooLarge);
  b = good;
  PutWord(&b, t - 4, 0xFFFFFFFF);
  EXPECT_EQ(Expand(b, 93), ExpandStatus::kTooLarge);
}

TEST(LzExpand, RefusesTokensOutsideTheirRange) {
  // The stream runs out: the group wants more than two literals.
  EXPECT_EQ(Expand(Image({'a', 'b', 0x00}, 40), 40), ExpandStatus::kStreamOverrun);
  // A match token cut in half by the start of the stream.
  EXPECT_EQ(Expand(Image({0x00, 'a', 'b', 'c', 0x10}, 40), 40), ExpandStatus::kStreamOverrun);
  // A match reaching above the end of the data: distance 4 after 3 bytes.
  EXPECT_EQ(Expand(Image({0x01, 0x00, 'a', 'b', 'c', 0x10}, 40), 40), ExpandStatus::kBadDistance);
  // A write passing the read position: 18 bytes with 13 bytes of room.
  EXPECT_EQ(Expand(Image({0x00, 0xF0, 'a', 'b', 'c', 0x10}, 16), 16), ExpandStatus::kOverwrite);
  // Writing down to exactly the read position is allowed: a match of 12
  // leaves the write position on the last unread byte's upper edge.
  Bytes out;
  ASSERT_EQ(Expand(Image({'x', 0x00, 0x90, 'a', 'b', 'c', 0x10}, 16), 16, &out), ExpandStatus::kOk);
  EXPECT_EQ(std::string(out.begin(), out.end()), "xabcabcabcabcabc");
}

TEST(LzExpand, CorruptedImagesNeverEscapeTheBuffer) {
  // Every outcome is fine here except touching memory outside the buffer,
  // which the sanitizer build turns into a failure.
  std::mt19937 rng(21);
  std::vector<Bytes> inputs;
  inputs.push_back(lz_test::Runs(rng, 3000, 30));
  inputs.push_back(lz_test::Periodic(rng, 2000, 7, 5));
  {
    Bytes with_prefix = lz_test::RandomBytes(rng, 200);
    with_prefix.insert(with_prefix.end(), 1500, 0);
    inputs.push_back(with_prefix);
  }
  int ok = 0;
  for (const Bytes& input : inputs) {
    Bytes image = SampleImage(input);
    ASSERT_FALSE(image.empty());
    for (int round = 0; round < 1500; ++round) {
      Bytes bad = image;
      int flips = 1 + static_cast<int>(rng() % 4);
      for (int f = 0; f < flips; ++f) {
        size_t at =
            rng() % 3 == 0 ? bad.size() - 1 - rng() % std::min<size_t>(bad.size(), 8) : rng() % bad.size();
        bad[at] = static_cast<uint8_t>(rng());
      }
      if (rng() % 8 == 0) bad.resize(4 + rng() % bad.size());
      size_t capacity = rng() % 2 ? input.size() : bad.size() + rng() % 64;
      if (capacity < bad.size()) capacity = bad.size();
      if (Expand(bad, capacity) == ExpandStatus::kOk) ++ok;
    }
  }
  for (int round = 0; round < 3000; ++round) {
    Bytes noise = lz_test::RandomBytes(rng, 8 + rng() % 64);
    noise[noise.size() - 5] = static_cast<uint8_t>(8 + rng() % 4);  // a plausible footer length
    noise[noise.size() - 6] = 0;
    noise[noise.size() - 7] = 0;
    noise[noise.size() - 8] = static_cast<uint8_t>(noise.size() - rng() % 4);
    for (int i = 1; i <= 3; ++i) noise[noise.size() - static_cast<size_t>(i)] = 0;
    noise[noise.size() - 4] = static_cast<uint8_t>(rng() % 200);
    if (Expand(noise, noise.size() + 200) == ExpandStatus::kOk) ++ok;
  }
  EXPECT_GT(ok, 0);  // some corruptions only change bytes, the check must not refuse those
}

}  // namespace
