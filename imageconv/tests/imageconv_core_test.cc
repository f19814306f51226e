#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ppm_image.h"
#include "ppm_reference.h"

namespace {

bool Header(const std::string& text, ppm::Header* header) {
  return ppm::ReadHeader(reinterpret_cast<const uint8_t*>(text.data()), text.size(), header);
}

TEST(PpmHeader, ReadsTokensOverLinesAndSkipsCommentLines) {
  struct Case {
    std::string text;
    long long width, height, max_value;
    size_t offset;
  };
  const std::vector<Case> cases = {
      {"P6\n64 32\n255\nXYZ", 64, 32, 255, 13},
      {"P6\n# a comment 1 2 3\n4\n# another\n  8 255   trailing words\nXYZ", 4, 8, 255, 58},
      {"P6 1 2 255", 1, 2, 255, 10},  // no line end: the pixel data is empty
      {"\n\t\r\nP6\r\n+3 -4\r\n65535\r\nX", 3, -4, 65535, 22},
      {"P6\n2 2 255 # the rest of the line goes\n", 2, 2, 255, 39},
  };
  for (const Case& c : cases) {
    ppm::Header h;
    ASSERT_TRUE(Header(c.text, &h)) << c.text;
    EXPECT_EQ(h.width, c.width) << c.text;
    EXPECT_EQ(h.height, c.height) << c.text;
    EXPECT_EQ(h.max_value, c.max_value) << c.text;
    EXPECT_EQ(h.data_offset, c.offset) << c.text;
  }
  // A comment line longer than any line buffer is still skipped whole.
  ppm::Header h;
  ASSERT_TRUE(Header("P6\n#" + std::string(5000, '7') + " 9\n5 6 255\n", &h));
  EXPECT_EQ(h.width, 5);
  // At most 256 MiB of pixel data, however the sides are given.
  h.width = 8192;
  h.height = 10922;
  EXPECT_TRUE(ppm::IsConvertible(h));
  h.height = 10923;
  EXPECT_FALSE(ppm::IsConvertible(h));
}

TEST(PpmHeader, RefusesBadMagicNumbersAndEarlyEnd) {
  for (const char* text : {"P3\n4 4\n255\n", "P6x 4 4 255\n", "p6 4 4 255\n", "P6\n4 4\n", "P6 4 four 255\n",
                           "P6 4 4 25a5\n", " # P6 4 4 255\n", "P6 4 4\n#255\n", "P6 4 99999999999999999999 255\n",
                           "", "# P6 4 4 255\n"}) {
    ppm::Header h;
    EXPECT_FALSE(Header(text, &h)) << text;
  }
}

// Pixels drawn from a few hundred colours, so that many repeat.
std::vector<uint8_t> RandomPixels(std::mt19937* rng, size_t count, int colours) {
  std::vector<uint8_t> pool(static_cast<size_t>(colours) * 3);
  for (uint8_t& b : pool) b = static_cast<uint8_t>((*rng)());
  std::vector<uint8_t> rgb(count * 3);
  for (size_t i = 0; i < count; ++i) {
    const size_t c = (*rng)() % static_cast<unsigned>(colours);
    memcpy(&rgb[3 * i], &pool[3 * c], 3);
  }
  return rgb;
}

TEST(PaletteTable, MatchesTheLinearScanIncludingOverflow) {
  std::mt19937 rng(15);
  for (int round = 0; round < 60; ++round) {
    const int capacity = round % 2 ? 16 : 256;
    const int colours = 1 + static_cast<int>(rng() % (round % 3 == 0 ? 40000 : capacity + 8));
    const size_t count = 1 + rng() % 5000;
    const std::vector<uint8_t> rgb = RandomPixels(&rng, count, colours);
    ppm::PaletteTable table(capacity);
    ASSERT_TRUE(table.valid());
    std::vector<uint8_t> indexes(count, 0xEE);
    const size_t indexed = ppm::IndexPixels(rgb.data(), count, &table, indexes.data());

    std::vector<uint16_t> palette;
    size_t expected = count;
    for (size_t i = 0; i < count; ++i) {
      const int index = ppm_reference::Lookup(&palette, capacity, ppm::PackColor(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]));
      if (index < 0) {
        expected = i;
        break;
      }
      ASSERT_EQ(indexes[i], index) << "round " << round << " pixel " << i;
    }
    ASSERT_EQ(indexed, expected) << "round " << round;
    ASSERT_EQ(table.count(), static_cast<int>(palette.size()));
    for (int i = 0; i < 260; ++i) {
      EXPECT_EQ(table.Entry(i), i < table.count() ? palette[static_cast<size_t>(i)] : 0);
    }
  }
}

TEST(ValueLines, MatchesOnePrintPerValueInAnyPieces) {
  std::mt19937 rng(16);
  const struct {
    int digits;
    bool spaced;
    const char* format;
    unsigned mask;
  } forms[] = {{4, false, "0x%04x,", 0xFFFF}, {4, true, "0x%04x, ", 0xFFFF}, {2, true, "0x%02x, ", 0xFF}};
  for (int round = 0; round < 90; ++round) {
    const auto& f = forms[round % 3];
    const int per_line = round % 2 ? 16 : 8;
    const support::HexLayout layout = ppm::ValueLines(f.digits, f.spaced, static_cast<size_t>(per_line));
    const size_t count = round < 20 ? static_cast<size_t>(round) : rng() % 200000;
    std::vector<unsigned> values(count);
    for (unsigned& v : values) v = rng() & f.mask;
    std::string fast;
    support::CTextWriter out([&fast](const char* data, size_t size) {
      fast.append(data, size);
      return true;
    });
    std::vector<uint16_t> words(values.begin(), values.end());
    std::vector<uint8_t> bytes(values.begin(), values.end());
    // Written in uneven pieces, as the converters do when streaming.
    for (size_t done = 0; done < count;) {
      const size_t n = std::min(count - done, static_cast<size_t>(1 + rng() % 70000));
      if (f.digits == 2) {
        out.AppendValues(bytes.data() + done, n, done, layout);
      } else {
        out.AppendValues(words.data() + done, n, done, layout);
      }
      done += n;
    }
    ASSERT_TRUE(out.Flush());
    ASSERT_TRUE(fast == ppm_reference::ValueLines(values, per_line, f.format)) << "round " << round;
  }
}

}  // namespace
