// Input generators and image checks shared by the compression tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "lz_expand.h"
#include "support/byte_order.h"

namespace lz_test {

using Bytes = std::vector<uint8_t>;

inline uint32_t Word(const Bytes& b, size_t at) { return support::LoadLe32(b.data() + at); }

inline Bytes RandomBytes(std::mt19937& rng, size_t size, int alphabet = 256) {
  Bytes b(size);
  std::uniform_int_distribution<int> pick(0, alphabet - 1);
  for (auto& x : b) x = static_cast<uint8_t>(pick(rng));
  return b;
}

/// Runs of random bytes with random lengths.
inline Bytes Runs(std::mt19937& rng, size_t size, int max_run) {
  Bytes b;
  while (b.size() < size) {
    uint8_t value = static_cast<uint8_t>(rng() % 4);
    size_t run = 1 + rng() % static_cast<unsigned>(max_run);
    for (size_t i = 0; i < run && b.size() < size; ++i) b.push_back(value);
  }
  return b;
}

/// A random pattern repeated, with a few bytes changed.
inline Bytes Periodic(std::mt19937& rng, size_t size, size_t period, int mutations) {
  Bytes pattern = RandomBytes(rng, period);
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = pattern[i % period];
  for (int m = 0; m < mutations && size > 0; ++m) b[rng() % size] ^= static_cast<uint8_t>(1 + rng() % 255);
  return b;
}

/// Checks the layout promised for an image of `input` and expands it in a
/// buffer of exactly input.size() bytes. Returns the raw prefix length.
inline size_t CheckImage(const Bytes& input, const Bytes& image) {
  const size_t s = input.size();
  const size_t t = image.size();
  EXPECT_EQ(t % 4, 0u);
  EXPECT_LT(t, s);
  if (t < 8 || t >= s) return 0;
  const uint32_t first = Word(image, t - 8);
  const size_t region = first & 0xFFFFFF;
  const size_t footer = first >> 24;
  EXPECT_GE(footer, 8u);
  EXPECT_LE(footer, 11u);
  EXPECT_EQ(Word(image, t - 4), s - t);
  EXPECT_LE(region, t);
  const size_t raw = t - region;
  for (size_t i = t - footer; i < t - 8; ++i) EXPECT_EQ(image[i], 0xFF) << "fill byte " << i;
  for (size_t i = 0; i < raw; ++i) {
    if (image[i] != input[i]) {
      ADD_FAILURE() << "raw prefix differs at " << i;
      break;
    }
  }
  Bytes buffer(s);
  std::copy(image.begin(), image.end(), buffer.begin());
  size_t expanded = 0;
  EXPECT_EQ(backlz::ExpandBackwardInPlace(buffer.data(), buffer.size(), t, &expanded),
            backlz::ExpandStatus::kOk);
  EXPECT_EQ(expanded, s);
  EXPECT_TRUE(buffer == input) << "round trip differs";
  return raw;
}

}  // namespace lz_test
