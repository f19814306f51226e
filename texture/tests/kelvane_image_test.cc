// Images and the colour palette.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_palette_util.h"
#include "kelvane_reference.h"

namespace {

using Kelvane::CColorPalette;

using kelvane_test::Entries;
using kelvane_test::Entry;
using kelvane_test::Palette;

const Entry kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kBlue{0, 0, 255};

TEST(KelvaneImage, PixelsAreRowMajorAndCopiesDeep) {
  Kelvane::CDirectColorImage image;
  image.Create(3, 2, 1, 2, 3);
  EXPECT_TRUE(image.IsAvailable());
  EXPECT_EQ(image.GetNumber(), 6u);
  image.SetValue(10, 20, 30, 2, 1);
  EXPECT_EQ(image.GetRedChannel()[5], 10);
  EXPECT_EQ(image.GetBlueChannel()[0], 3);
  Kelvane::CDirectColorImage copy(image);
  image.SetValue(0, 0, 0, 2, 1);
  unsigned char r, g, b;
  copy.GetValue(&r, &g, &b, 2, 1);
  EXPECT_EQ(g, 20);

  Kelvane::CAlphaImage alpha;
  alpha.Create(2, 2, 9);
  alpha.SetValue(7, 0, 1);
  EXPECT_EQ(alpha.GetAlphaChannel()[2], 7);
  Kelvane::CAlphaImage alpha_copy;
  alpha_copy = alpha;
  alpha.Clear();
  EXPECT_FALSE(alpha.IsAvailable());
  EXPECT_EQ(alpha.GetWidth(), 0);
  unsigned char a = 0;
  alpha_copy.GetValue(&a, 0, 1);
  EXPECT_EQ(a, 7);

  Kelvane::CColorIndexImage index;
  index.Create(0, 5);
  EXPECT_TRUE(index.IsAvailable());
  EXPECT_EQ(index.GetNumber(), 0u);
  EXPECT_EQ(index.GetColorIndexData().GetByteSize(), 0u);
}

TEST(KelvanePalette, FindColorGivesLowestMatch) {
  CColorPalette empty;
  EXPECT_EQ(empty.FindColor(0, 0, 0), -1);
  CColorPalette palette = Palette({kWhite, kRed, kBlue, kRed});
  EXPECT_EQ(palette.FindColor(255, 0, 0), 1);
  EXPECT_EQ(palette.FindColor(1, 0, 0), -1);
}

TEST(KelvanePalette, LuminanceSortOrder) {
  CColorPalette palette = Palette({kBlack, kWhite, kRed});
  palette.QuickSortTopDown(true);
  EXPECT_EQ(Entries(palette), (std::vector<Entry>{kWhite, kRed, kBlack}));
  palette.QuickSortTopDown(false);
  EXPECT_EQ(Entries(palette), (std::vector<Entry>{kBlack, kRed, kWhite}));
  // Equal keys keep the selection sort's exchange order (5, 9, 9, 1 pattern).
  const Entry key5{0, 0, 50}, key9a{30, 0, 0}, key9b{0, 16, 0}, key1{0, 0, 10};
  ASSERT_EQ((77 * 30) >> 8, (151 * 16) >> 8);
  CColorPalette ties = Palette({key5, key9a, key9b, key1});
  ties.QuickSortTopDown(true);
  EXPECT_EQ(Entries(ties), (std::vector<Entry>{key9a, key9b, key5, key1}));
}

TEST(KelvanePalette, LongLuminanceSortMatchesLiteral) {
  std::vector<Entry> entries;
  for (unsigned int i = 0; i < 700; ++i) {
    entries.push_back(Entry{static_cast<unsigned char>(i * 37 % 7 * 40),
                            static_cast<unsigned char>(i % 3 * 100),
                            static_cast<unsigned char>(i * 11 % 5 * 60)});
  }
  for (bool descending : {true, false}) {
    std::vector<unsigned char> keys;
    std::vector<unsigned int> packed;
    for (const Entry& e : entries) {
      keys.push_back(static_cast<unsigned char>((77 * e.r + 151 * e.g + 28 * e.b) >> 8));
      packed.push_back(e.r * 65536u + e.g * 256u + e.b);
    }
    reference::SelectionSort(keys, &packed, 0, 699, descending);
    CColorPalette palette = Palette(entries);
    palette.QuickSortTopDown(descending);
    const std::vector<Entry> got = Entries(palette);
    for (unsigned int i = 0; i < 700; ++i) {
      ASSERT_EQ(got[i].r * 65536u + got[i].g * 256u + got[i].b, packed[i]) << i;
    }
  }
}

TEST(KelvanePalette, CommonLowerBit) {
  CColorPalette palette = Palette({{7, 8, 128}, {255, 0, 1}});
  palette.CommonLowerBit(5);
  EXPECT_EQ(Entries(palette), (std::vector<Entry>{{0, 8, 132}, {255, 0, 0}}));
  CColorPalette same = Palette({{7, 8, 129}});
  same.CommonLowerBit(8);
  EXPECT_EQ(Entries(same), (std::vector<Entry>{{7, 8, 129}}));
  same.CommonLowerBit(4);
  EXPECT_EQ(Entries(same), (std::vector<Entry>{{0, 0, 136}}));
  CColorPalette low = Palette({{255, 200, 100}});
  low.CommonLowerBit(2);
  EXPECT_EQ(Entries(low), (std::vector<Entry>{{192, 192, 64}}));
}

TEST(KelvanePalette, CutCommonColorKeepsFirstAppearances) {
  const Entry a{1, 2, 3}, b{4, 5, 6}, c{7, 8, 9};
  CColorPalette palette = Palette({a, b, a, c, b});
  palette.CutCommonColor();
  EXPECT_EQ(Entries(palette), (std::vector<Entry>{a, b, c}));
  CColorPalette empty;
  empty.CutCommonColor();
  EXPECT_TRUE(empty.IsAvailable());
  EXPECT_EQ(empty.GetNumber(), 0u);

  // A long palette (the bitmap path) against the literal removal.
  std::vector<Entry> entries;
  std::vector<reference::Rgb> literal;
  for (unsigned int i = 0; i < 3000; ++i) {
    const Entry e{static_cast<unsigned char>(i * 7 % 13), static_cast<unsigned char>(i % 11),
                  static_cast<unsigned char>(i * 5 % 3)};
    entries.push_back(e);
    literal.push_back({e.r, e.g, e.b});
  }
  CColorPalette longer = Palette(entries);
  longer.CutCommonColor();
  const std::vector<reference::Rgb> want = reference::CutCommon(literal);
  const std::vector<Entry> got = Entries(longer);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_TRUE((got[i] == Entry{want[i].r, want[i].g, want[i].b})) << i;
}

// Every way of removing duplicates (a scan for short palettes, a hash set
// sized to the palette, a bitmap of all colours for the longest) keeps exactly
// what the literal removal keeps: random palettes on both sides of each limit,
// with colours from a few up to thousands (near colours collide in the set).
TEST(KelvanePalette, CutCommonColorMatchesLiteralAtEverySize) {
  std::mt19937 random(24);
  for (const unsigned int count : {1u, 2u, 63u, 64u, 65u, 66u, 200u, 1000u, 4097u, 131072u, 131073u, 140000u}) {
    for (const unsigned int distinct : {1u, 7u, 300u, 5000u}) {
      if (distinct > 300 && count > 10000) continue;  // the literal removal is quadratic
      std::vector<reference::Rgb> pool(distinct);
      for (auto& c : pool) {
        const uint32_t v = random() & (distinct > 300 ? 0x0F0F0Fu : 0xFFFFFFu);
        c = {static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
      }
      std::vector<Entry> entries;
      std::vector<reference::Rgb> literal;
      for (unsigned int i = 0; i < count; ++i) {
        const reference::Rgb c = pool[random() % distinct];
        entries.push_back({c.r, c.g, c.b});
        literal.push_back(c);
      }
      CColorPalette palette = Palette(entries);
      palette.CutCommonColor();
      const std::vector<reference::Rgb> want = reference::CutCommon(literal);
      const std::vector<Entry> got = Entries(palette);
      ASSERT_EQ(got.size(), want.size()) << count << " entries of " << distinct << " colours";
      for (size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE((got[i] == Entry{want[i].r, want[i].g, want[i].b})) << count << " entries, entry " << i;
      EXPECT_TRUE(palette.IsAvailable());
    }
  }
}

TEST(KelvanePalette, ChangeNumberAppendsBlack) {
  CColorPalette palette = Palette({kWhite, kRed});
  palette.ChangeNumber(1);
  palette.ChangeNumber(3);
  EXPECT_EQ(Entries(palette), (std::vector<Entry>{kWhite, kBlack, kBlack}));
  EXPECT_TRUE(palette.IsAvailable());
  CColorPalette copy;
  copy = palette;
  palette.SetValue(1, 1, 1, 0);
  EXPECT_EQ(Entries(copy)[0], kWhite);
}

}  // namespace
