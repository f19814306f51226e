#include "support/text_parse.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/byte_order.h"

namespace {

TEST(TextParse, DecimalPrefixReadsAsAtoiAndClamps) {
  bool out = true;
  EXPECT_EQ(support::ParseDecimalPrefix("  -42xyz", &out), -42);
  EXPECT_FALSE(out);
  EXPECT_EQ(support::ParseDecimalPrefix("0x100"), 0);
  EXPECT_EQ(support::ParseDecimalPrefix("abc"), 0);
  EXPECT_EQ(support::ParseDecimalPrefix("-9223372036854775808", &out), LLONG_MIN);
  EXPECT_FALSE(out);
  EXPECT_EQ(support::ParseDecimalPrefix("9223372036854775808", &out), LLONG_MAX);
  EXPECT_TRUE(out);
  EXPECT_EQ(support::ParseDecimalPrefix("-99999999999999999999", &out), LLONG_MIN);
  EXPECT_TRUE(out);
  EXPECT_EQ(support::ParseIntPrefix("2147483648", &out), INT_MAX);
  EXPECT_TRUE(out);
  EXPECT_EQ(support::ParseIntPrefix("-2147483648", &out), INT_MIN);
  EXPECT_FALSE(out);
}

TEST(TextParse, StrictDecimalWantsTheWholeTextInRange) {
  long long v = 7;
  EXPECT_TRUE(support::ParseDecimalStrict("-12", -100, 100, &v));
  EXPECT_EQ(v, -12);
  for (const char* bad : {"", "+", "12 ", " 12", "1x", "101", "99999999999999999999"}) {
    EXPECT_FALSE(support::ParseDecimalStrict(bad, -100, 100, &v)) << bad;
  }
  EXPECT_EQ(v, -12);
}

TEST(TextParse, HexAndPathRules) {
  uint8_t out[3] = {};
  EXPECT_TRUE(support::DecodeHexStrict("0aFf10", 3, out));
  EXPECT_EQ(out[0], 0x0a);
  EXPECT_EQ(out[1], 0xff);
  EXPECT_EQ(out[2], 0x10);
  EXPECT_FALSE(support::DecodeHexStrict("0g", 1, out));
  EXPECT_EQ(support::PathStem("a/b.c\\game.srl"), "game");
  EXPECT_EQ(support::PathStem("x.tar.gz"), "x.tar");
  EXPECT_EQ(support::PathStem("dir.d/noext"), "noext");
  EXPECT_EQ(support::StripExtension("dir.d/noext"), "dir.d/noext");
  EXPECT_EQ(support::StripExtension("dir/in.bin"), "dir/in");
}

TEST(ByteOrder, LoadsAndStoresLittleEndian) {
  uint8_t b[8];
  support::StoreLe32(b, 0x12345678u);
  support::StoreLe32(b + 4, 0x9abcdef0u);
  EXPECT_EQ(b[0], 0x78);
  EXPECT_EQ(support::LoadLe16(b + 1), 0x3456);
  EXPECT_EQ(support::LoadLe64(b), 0x9abcdef012345678ull);
}

}  // namespace
