#include "lz_backward.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lz_channel_trace.h"
#include "lz_reference.h"
#include "lz_test_util.h"
#include "testing/run_program.h"

namespace {

using lz_test::Bytes;
using lz_test::CheckImage;
using lz_test::Word;

// The image from the fast encoder, or an empty vector when refused with -1.
Bytes Compress(const Bytes& input) {
  Bytes buffer = input;
  int result = backlz::CompressBackward(buffer.data(), static_cast<int>(buffer.size()));
  if (result == backlz::kNotCompressible) {
    EXPECT_TRUE(buffer == input) << "a refused input must stay intact";
    return {};
  }
  EXPECT_GT(result, 0);
  if (result <= 0) return {};
  buffer.resize(static_cast<size_t>(result));
  return buffer;
}

// Stream bytes of the fast encoder with room to spare, top byte first.
Bytes StreamFromTop(const Bytes& input) {
  Bytes dest(input.size() * 2 + 16);
  int start = backlz::EncodeBackward(input.data(), static_cast<int>(input.size()), dest.data(),
                                     static_cast<int>(dest.size()));
  EXPECT_GE(start, 0);
  return Bytes(dest.rbegin(), dest.rend() - start);
}

// Tokens in reading order: {0, byte} for a literal, {length, distance} for a match.
std::vector<std::pair<int, int>> Tokens(const Bytes& from_top, size_t count) {
  std::vector<std::pair<int, int>> tokens;
  size_t at = 0;
  while (tokens.size() < count && at < from_top.size()) {
    unsigned flags = from_top[at++];
    for (int bit = 7; bit >= 0 && tokens.size() < count; --bit) {
      if ((flags >> bit) & 1) {
        unsigned hi = from_top[at];
        unsigned lo = from_top[at + 1];
        at += 2;
        tokens.push_back({static_cast<int>((hi >> 4) + 3), static_cast<int>((((hi & 15) << 8) | lo) + 3)});
      } else {
        tokens.push_back({0, from_top[at++]});
      }
    }
  }
  return tokens;
}

// Fast and literal encoders agree on the image (or both refuse), and the
// image expands back.
void ExpectSameAsReference(const Bytes& input, const std::string& what) {
  SCOPED_TRACE(what + ", " + std::to_string(input.size()) + " bytes");
  Bytes fast = Compress(input);
  Bytes literal = lz_reference::CompressBackward(input);
  ASSERT_EQ(fast.size(), literal.size());
  ASSERT_TRUE(fast == literal) << "images differ";
  if (!fast.empty()) CheckImage(input, fast);
}

TEST(LzBackward, TenBytesThenSixtyRepeatsEncodeAsDocumented) {
  Bytes input = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x01, 0x23};
  input.insert(input.end(), 60, 0x55);
  Bytes top = StreamFromTop(input);
  const Bytes expected = {0x1F, 0x55, 0x55, 0x55, 0x00, 0x00, 0x30, 0x03, 0x90, 0x09, 0xF0, 0x0F, 0xF0, 0x0F};
  ASSERT_GE(top.size(), expected.size());
  EXPECT_TRUE(Bytes(top.begin(), top.begin() + static_cast<long>(expected.size())) == expected);
  // Then the ten bytes as literals, last first: a full group and a group of two.
  Bytes rest(top.begin() + static_cast<long>(expected.size()), top.end());
  const Bytes tail = {0x00, 0x23, 0x01, 0xF0, 0xDE, 0xBC, 0x9A, 0x78, 0x56, 0x00, 0x34, 0x12};
  EXPECT_TRUE(rest == tail);

  // Replaying the expansion, the last match leaves 10 bytes to write with 12
  // stream bytes unread, so the ten bytes stay raw and the two groups holding
  // them are dropped: 10 raw + 14 stream + footer, no fill.
  Bytes image = Compress(input);
  ASSERT_EQ(image.size(), 32u);
  EXPECT_EQ(CheckImage(input, image), 10u);
  EXPECT_EQ(Word(image, 24), 22u | (8u << 24));
  EXPECT_EQ(Word(image, 28), 70u - 32u);
  EXPECT_TRUE(Bytes(image.begin() + 10, image.begin() + 24) == Bytes(top.rbegin() + 12, top.rend()));
}

TEST(LzBackward, RunOfOneByteDoublesItsMatchesUpToEighteen) {
  Bytes input = {1, 2, 3, 4, 5};
  input.insert(input.end(), 120, 0xAA);
  std::vector<std::pair<int, int>> tokens = Tokens(StreamFromTop(input), 12);
  const std::vector<std::pair<int, int>> expected = {{0, 0xAA}, {0, 0xAA}, {0, 0xAA}, {3, 3},
                                                     {6, 6},    {12, 12},  {18, 18},  {18, 18},
                                                     {18, 18},  {18, 18},  {18, 18},  {6, 6}};
  // 3 + 3 + 6 + 12 + 5 * 18 = 114: the last six bytes of the run are one match.
  EXPECT_EQ(tokens, expected);
}

TEST(LzBackward, CompressibleStartGetsRawPrefix) {
  std::mt19937 rng(11);
  // Expansion ends with incompressible bytes after a well compressed middle:
  // the tokens for the start would overtake the read position.
  Bytes input = lz_test::RandomBytes(rng, 300);
  input.insert(input.end(), 3000, 0x00);
  Bytes image = Compress(input);
  ASSERT_FALSE(image.empty());
  size_t raw = CheckImage(input, image);
  EXPECT_GT(raw, 0u);
  EXPECT_EQ(Word(image, image.size() - 8) & 0xFFFFFF, image.size() - raw);
  ExpectSameAsReference(input, "raw prefix");
}

TEST(LzBackward, RefusesWhatDoesNotShrink) {
  for (size_t size = 0; size <= 8; ++size) {
    Bytes zeros(size, 0);
    EXPECT_TRUE(Compress(zeros).empty()) << size;
  }
  std::mt19937 rng(3);
  Bytes noise = lz_test::RandomBytes(rng, 5000);
  EXPECT_TRUE(Compress(noise).empty());
  Bytes dest(noise.size());
  EXPECT_EQ(backlz::EncodeBackward(noise.data(), 5000, dest.data(), 5000), -1);
  // Nine zeros do not shrink either: a flag, three literals and two matches
  // take eight bytes, with the footer sixteen.
  EXPECT_TRUE(Compress(Bytes(9, 0)).empty());
  // Forty zeros: a flag, three literals, matches of 3, 6, 12 and 16.
  EXPECT_EQ(Compress(Bytes(40, 0)).size(), 20u);
}

TEST(LzBackward, RefusesMisalignedBuffer) {
  alignas(4) uint8_t storage[101] = {};
  testing::internal::CaptureStderr();
  backlz::ChannelTracer channels;
  EXPECT_EQ(backlz::CompressBackward(storage + 1, 100, &channels), backlz::kFatal);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Top of buffer is not aligned by 4.\n");
  for (uint8_t b : storage) EXPECT_EQ(b, 0);
}

TEST(LzBackward, OverwriteCheckRefusesBrokenStreams) {
  // A match longer than the output left.
  const Bytes too_long = {0xF0, 0x00, 0x80};  // low to high: lo, hi, flags
  EXPECT_EQ(backlz::CheckOverwrite(4, too_long.data(), 3).result, -1);
  // A stream that ends before the output does.
  const Bytes short_stream = {0x41, 0x00};
  EXPECT_EQ(backlz::CheckOverwrite(5, short_stream.data(), 2).result, -1);
  EXPECT_EQ(backlz::CheckOverwrite(5, short_stream.data(), 0).result, -1);
  // A sound one.
  EXPECT_EQ(backlz::CheckOverwrite(1, short_stream.data(), 2).result, 1);
}

TEST(LzBackward, MatchesLiteralScanOnSmallInputs) {
  std::mt19937 rng(1);
  for (size_t size = 0; size <= 80; ++size) {
    for (int alphabet : {1, 2, 3, 256}) {
      ExpectSameAsReference(lz_test::RandomBytes(rng, size, alphabet),
                            "alphabet " + std::to_string(alphabet));
    }
  }
}

TEST(LzBackward, MatchesLiteralScanOnGeneratedData) {
  std::mt19937 rng(2);
  for (int round = 0; round < 40; ++round) {
    size_t size = 100 + rng() % 3000;
    ExpectSameAsReference(lz_test::RandomBytes(rng, size, 2 + static_cast<int>(rng() % 6)), "small alphabet");
    ExpectSameAsReference(lz_test::Runs(rng, size, 1 + static_cast<int>(rng() % 40)), "runs");
    ExpectSameAsReference(lz_test::Periodic(rng, size, 1 + rng() % 40, static_cast<int>(rng() % 8)),
                          "periodic");
  }
}

TEST(LzBackward, MatchesLiteralScanOnLongInputsWithCrowdedChains) {
  // Long enough for the chains to wrap their ring several times, with keys
  // so common that every chain is full.
  std::mt19937 rng(12);
  ExpectSameAsReference(lz_test::RandomBytes(rng, 24000, 2), "two symbols");
  ExpectSameAsReference(lz_test::RandomBytes(rng, 24000, 3), "three symbols");
  ExpectSameAsReference(lz_test::Runs(rng, 24000, 25), "runs");
  Bytes skewed(24000);
  for (auto& b : skewed) b = rng() % 5 == 0 ? 1 : 0;
  ExpectSameAsReference(skewed, "mostly zeros");
}

TEST(LzBackward, MatchesLiteralScanWhereTheTablesChangeSize) {
  // The finder's tables double at each power of two of the source size, up
  // to 16 KiB: one side of each step, and the sizes beside it.
  std::mt19937 rng(14);
  for (size_t step = 16; step <= 16384; step *= 2) {
    for (size_t size : {step - 1, step, step + 1}) {
      const int alphabet = 2 + static_cast<int>(rng() % 4);
      ExpectSameAsReference(lz_test::RandomBytes(rng, size, alphabet), "alphabet " + std::to_string(alphabet));
      ExpectSameAsReference(lz_test::Periodic(rng, size, 1 + rng() % 200, 1 + static_cast<int>(size / 64)),
                            "periodic");
    }
  }
}

TEST(LzBackward, MatchesLiteralScanAtTheWindowEdge) {
  std::mt19937 rng(4);
  // A block repeated at distances around the window size: 4098 is the
  // farthest a match may reach.
  for (size_t gap : {4090u, 4095u, 4096u, 4097u, 4098u, 4099u, 4100u}) {
    Bytes block = lz_test::RandomBytes(rng, 64);
    Bytes input = block;
    Bytes filler = lz_test::RandomBytes(rng, gap - block.size());
    input.insert(input.end(), filler.begin(), filler.end());
    input.insert(input.end(), block.begin(), block.end());
    Bytes dest_fast(input.size() * 2), dest_literal(input.size() * 2);
    int size = static_cast<int>(input.size());
    int fast = backlz::EncodeBackward(input.data(), size, dest_fast.data(), size * 2);
    int literal = lz_reference::EncodeBackward(input.data(), size, dest_literal.data(), size * 2);
    ASSERT_EQ(fast, literal) << gap;
    EXPECT_TRUE(dest_fast == dest_literal) << gap;
  }
}

TEST(LzBackward, MatchesLiteralScanOnMixedSegments) {
  std::mt19937 rng(5);
  for (int round = 0; round < 12; ++round) {
    Bytes input;
    while (input.size() < 9000) {
      switch (rng() % 5) {
        case 0: {
          Bytes part = lz_test::RandomBytes(rng, 1 + rng() % 400);
          input.insert(input.end(), part.begin(), part.end());
          break;
        }
        case 1:
          input.insert(input.end(), 1 + rng() % 300, static_cast<uint8_t>(rng()));
          break;
        case 2: {
          Bytes part = lz_test::Periodic(rng, 1 + rng() % 500, 1 + rng() % 24, 1);
          input.insert(input.end(), part.begin(), part.end());
          break;
        }
        default:
          if (!input.empty()) {  // a copy from up to 5000 bytes back
            size_t back = 1 + rng() % std::min<size_t>(input.size(), 5000);
            size_t from = input.size() - back;
            size_t length = 1 + rng() % 60;
            for (size_t i = 0; i < length; ++i) input.push_back(input[from + i]);
          }
      }
    }
    ExpectSameAsReference(input, "mixed");
  }
}

TEST(LzBackward, MatchesLiteralScanOnTightDestinations) {
  // The encoder's room checks must fail at the same point.
  std::mt19937 rng(6);
  for (int round = 0; round < 300; ++round) {
    Bytes input = lz_test::RandomBytes(rng, 1 + rng() % 200, 1 + static_cast<int>(rng() % 4));
    int size = static_cast<int>(input.size());
    int room = static_cast<int>(rng() % static_cast<unsigned>(size + 30));
    Bytes dest_fast(static_cast<size_t>(room) + 1), dest_literal(static_cast<size_t>(room) + 1);
    int fast = backlz::EncodeBackward(input.data(), size, dest_fast.data(), room);
    int literal = lz_reference::EncodeBackward(input.data(), size, dest_literal.data(), room);
    ASSERT_EQ(fast, literal);
    if (fast >= 0) {
      EXPECT_TRUE(dest_fast == dest_literal);
    }
  }
}

TEST(LzBackward, MatchesLiteralScanOnArmCode) {
  const std::string text = testing_support::ReadFileOrEmpty(TEST_DATA_DIR "/arm-code-64k.bin");
  Bytes code(text.begin(), text.end());
  ASSERT_EQ(code.size(), 65536u);
  ExpectSameAsReference(code, "ARM code");
  // With a raw prefix forced in front: an incompressible end after code.
  std::mt19937 rng(8);
  Bytes tail(code.begin(), code.begin() + 8192);
  Bytes noise = lz_test::RandomBytes(rng, 700);
  tail.insert(tail.begin(), noise.begin(), noise.end());
  ExpectSameAsReference(tail, "noise then ARM code");
}

}  // namespace
