// The texture object: processor pointer, copies, the Convert state table and
// AlignmentImageSize.
#include <gtest/gtest.h>

#include <vector>

#include "kelvane/kelvane.h"

namespace {

using Kelvane::CColorProcessor;
using Kelvane::CDefaultColorProcessor;
using Kelvane::CTexture;

// A direct texture whose texel (x, y) has colour `colour(x, y)` (0xRRGGBB).
template <typename Colour>
void FillDirect(CTexture* texture, unsigned short width, unsigned short height, Colour colour,
                bool with_alpha = true) {
  texture->GetDirectColorImage().Create(width, height, 0, 0, 0);
  for (unsigned short y = 0; y < height; ++y) {
    for (unsigned short x = 0; x < width; ++x) {
      const unsigned int c = colour(x, y);
      texture->GetDirectColorImage().SetValue(static_cast<unsigned char>(c >> 16),
                                              static_cast<unsigned char>(c >> 8),
                                              static_cast<unsigned char>(c), x, y);
    }
  }
  if (with_alpha) texture->GetAlphaImage().Create(width, height, 255);
  texture->SetType(CTexture::TYPE_DIRECT);
}

// Colours that 5-bit reduction leaves unchanged.
unsigned int Exact(unsigned int i) {
  const unsigned int v = (i * 8) | ((i * 8) >> 5);
  return (v << 16) | ((255 - v) << 8) | 0x42;
}

unsigned int Colour(const CTexture& texture, unsigned short x, unsigned short y) {
  unsigned char r, g, b;
  texture.GetDirectColorImage().GetValue(&r, &g, &b, x, y);
  return (unsigned{r} << 16) | (unsigned{g} << 8) | b;
}

TEST(KelvaneTexture, ProcessorPointerIsSharedAndReset) {
  CTexture a, b;
  CColorProcessor* default_processor = a.GetColorProcessor();
  ASSERT_NE(default_processor, nullptr);
  EXPECT_EQ(b.GetColorProcessor(), default_processor);
  auto* as_default = dynamic_cast<CDefaultColorProcessor*>(default_processor);
  ASSERT_NE(as_default, nullptr);
  EXPECT_FALSE(as_default->GetConvertFactor().useTransparency);
  EXPECT_EQ(as_default->GetConvertFactor().pFixedPalette, nullptr);

  CDefaultColorProcessor own;
  a.SetColorProcessor(&own);
  EXPECT_EQ(a.GetColorProcessor(), &own);
  CTexture copy(a);
  EXPECT_EQ(copy.GetColorProcessor(), &own);
  CTexture assigned;
  assigned = a;
  EXPECT_EQ(assigned.GetColorProcessor(), &own);
  a.SetColorProcessor(nullptr);
  EXPECT_EQ(a.GetColorProcessor(), default_processor);
  copy.Clear();
  EXPECT_EQ(copy.GetColorProcessor(), default_processor);
  EXPECT_EQ(copy.GetType(), CTexture::TYPE_NONE);
}

TEST(KelvaneTexture, DefaultProcessorSettingsApplyToEveryTexture) {
  CTexture first, second;
  auto* shared = dynamic_cast<CDefaultColorProcessor*>(first.GetColorProcessor());
  ASSERT_NE(shared, nullptr);
  const CDefaultColorProcessor::tConvertFactor saved = shared->GetConvertFactor();
  CDefaultColorProcessor::tConvertFactor keyed = saved;
  keyed.useTransparency = true;
  const unsigned int key = Exact(1);
  keyed.transparentRed = static_cast<unsigned char>(key >> 16);
  keyed.transparentGreen = static_cast<unsigned char>(key >> 8);
  keyed.transparentBlue = static_cast<unsigned char>(key);
  first.GetColorProcessor()->SetConvertFactor(&keyed);
  FillDirect(&second, 2, 1, [](int x, int) { return Exact(x); });
  const bool converted = second.Convert(CTexture::TYPE_PALETTE4);
  shared->SetConvertFactor(&saved);
  ASSERT_TRUE(converted);
  // Texel 1 has the key colour: index 0, with texel 0 moved up to entry 1.
  EXPECT_EQ(second.GetColorIndexImage().GetColorIndexData()[0], 1);
  EXPECT_EQ(second.GetColorIndexImage().GetColorIndexData()[1], 0);
}

TEST(KelvaneTexture, CopiesAreDeep) {
  CTexture texture;
  FillDirect(&texture, 2, 2, [](int x, int y) { return Exact(x + 2 * y); });
  texture.GetColorPaletteAttribute().Create(1, 3);
  texture.GetColorPaletteAddress().Create(2, 1, 9);
  CTexture copy(texture);
  texture.GetDirectColorImage().SetValue(0, 0, 0, 1, 1);
  texture.GetColorPaletteAttribute()[0] = 0;
  texture.GetColorPaletteAddress().SetValue(0, 0);
  EXPECT_EQ(Colour(copy, 1, 1), Exact(3));
  EXPECT_EQ(copy.GetColorPaletteAttribute()[0], 3);
  unsigned int v = 0;
  copy.GetColorPaletteAddress().GetValue(&v, 0);
  EXPECT_EQ(v, 9u);
  EXPECT_EQ(copy.GetType(), CTexture::TYPE_DIRECT);
  copy = copy;
  EXPECT_EQ(copy.GetWidth(), 2);
}

TEST(KelvaneTexture, ConvertRefusals) {
  CTexture texture;
  EXPECT_FALSE(texture.Convert(static_cast<CTexture::tType>(7)));
  EXPECT_FALSE(texture.Convert(CTexture::TYPE_NONE));
  for (unsigned int t = 0; t <= 6; ++t) {
    EXPECT_TRUE(texture.Convert(static_cast<CTexture::tType>(t))) << t;
    EXPECT_EQ(texture.GetType(), CTexture::TYPE_NONE);
  }
  FillDirect(&texture, 6, 8, [](int x, int) { return Exact(x); });
  EXPECT_FALSE(texture.Convert(CTexture::TYPE_TEX4X4));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_DIRECT);
  EXPECT_FALSE(texture.GetColorIndexImage().IsAvailable());
  EXPECT_FALSE(texture.GetColorPalette().IsAvailable());
  FillDirect(&texture, 8, 8, [](int x, int) { return Exact(x); });
  EXPECT_TRUE(texture.Convert(CTexture::TYPE_TEX4X4));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_TEX4X4);
  EXPECT_FALSE(texture.GetDirectColorImage().IsAvailable());
}

TEST(KelvaneTexture, DirectToPaletteAndBack) {
  CTexture texture;
  FillDirect(&texture, 4, 2, [](int x, int y) { return Exact((x + y) % 3); });
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE16));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_PALETTE16);
  EXPECT_TRUE(texture.IsPaletteType());
  EXPECT_FALSE(texture.GetDirectColorImage().IsAvailable());
  EXPECT_FALSE(texture.GetAlphaImage().IsAvailable());
  EXPECT_EQ(texture.GetColorPalette().GetNumber(), 3u);
  EXPECT_EQ(texture.GetWidth(), 4);
  EXPECT_EQ(texture.GetHeight(), 2);

  // Converting to the current type changes nothing.
  CTexture before(texture);
  EXPECT_TRUE(texture.Convert(CTexture::TYPE_PALETTE16));
  EXPECT_EQ(texture.GetColorPalette().GetNumber(), 3u);

  // 3 colours fit 4 entries: only the type changes.
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE4));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_PALETTE4);
  EXPECT_EQ(texture.GetColorPalette().GetNumber(), 3u);

  ASSERT_TRUE(texture.Convert(CTexture::TYPE_A3I5));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_A3I5);
  ASSERT_TRUE(texture.GetAlphaImage().IsAvailable());
  EXPECT_EQ(texture.GetAlphaImage().GetAlphaChannel()[5], 255);
  texture.GetAlphaImage().SetValue(17, 1, 1);

  ASSERT_TRUE(texture.Convert(CTexture::TYPE_DIRECT));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_DIRECT);
  EXPECT_FALSE(texture.GetColorIndexImage().IsAvailable());
  EXPECT_FALSE(texture.GetColorPalette().IsAvailable());
  for (unsigned short y = 0; y < 2; ++y) {
    for (unsigned short x = 0; x < 4; ++x) EXPECT_EQ(Colour(texture, x, y), Exact((x + y) % 3));
  }
  unsigned char a = 0;
  texture.GetAlphaImage().GetValue(&a, 1, 1);
  EXPECT_EQ(a, 17);  // the A3I5 alpha image stays
}

TEST(KelvaneTexture, ShrinkingPaletteGoesThroughDirect) {
  CTexture texture;
  FillDirect(&texture, 10, 1, [](int x, int) { return Exact(3 * x); });
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE16));
  ASSERT_EQ(texture.GetColorPalette().GetNumber(), 10u);
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE4));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_PALETTE4);
  EXPECT_LE(texture.GetColorPalette().GetNumber(), 4u);
  EXPECT_FALSE(texture.GetDirectColorImage().IsAvailable());
  EXPECT_FALSE(texture.GetAlphaImage().IsAvailable());
  // To an alpha type: an opaque alpha image is created.
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_A5I3));
  EXPECT_TRUE(texture.GetAlphaImage().IsAvailable());
  EXPECT_EQ(texture.GetAlphaImage().GetAlphaChannel()[9], 255);
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE256));
  EXPECT_FALSE(texture.GetAlphaImage().IsAvailable());
}

// A palette exactly as large as the target type is kept as it is: a new
// reduction would drop the unused entry and round the colours to 5 bits.
TEST(KelvaneTexture, PaletteOfExactlyTheTargetSizeIsNotReducedAgain) {
  CTexture texture;
  texture.GetColorIndexImage().Create(3, 1);
  texture.GetColorIndexImage().SetValue(2, 1, 0);
  texture.GetColorIndexImage().SetValue(1, 2, 0);
  Kelvane::CColorPalette& palette = texture.GetColorPalette();
  palette.Create(4, 0, 0, 0);
  const unsigned char kValues[4][3] = {{7, 7, 7}, {201, 3, 99}, {13, 250, 6}, {60, 61, 62}};
  for (unsigned int i = 0; i < 4; ++i) palette.SetValue(kValues[i][0], kValues[i][1], kValues[i][2], i);
  texture.SetType(CTexture::TYPE_PALETTE16);
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE4));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_PALETTE4);
  ASSERT_EQ(texture.GetColorPalette().GetNumber(), 4u);
  for (unsigned int i = 0; i < 4; ++i) {
    unsigned char r, g, b;
    texture.GetColorPalette().GetValue(&r, &g, &b, i);
    EXPECT_EQ(r, kValues[i][0]);
    EXPECT_EQ(g, kValues[i][1]);
    EXPECT_EQ(b, kValues[i][2]);
  }
  const Kelvane::CData& indices = texture.GetColorIndexImage().GetColorIndexData();
  EXPECT_EQ(std::vector<unsigned char>(indices.GetpData(), indices.GetpData() + 3),
            (std::vector<unsigned char>{0, 2, 1}));
  EXPECT_FALSE(texture.GetDirectColorImage().IsAvailable());
}

TEST(KelvaneTexture, FailedPaletteConversionKeepsDirectImage) {
  Kelvane::CColorPalette unavailable;
  CDefaultColorProcessor processor;
  CDefaultColorProcessor::tConvertFactor factor = processor.GetConvertFactor();
  factor.pFixedPalette = &unavailable;
  processor.SetConvertFactor(&factor);

  CTexture texture;
  texture.SetColorProcessor(&processor);
  FillDirect(&texture, 2, 2, [](int x, int) { return Exact(x); });
  EXPECT_TRUE(texture.Convert(CTexture::TYPE_PALETTE16));  // not reported
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_DIRECT);
  EXPECT_TRUE(texture.GetDirectColorImage().IsAvailable());
  EXPECT_TRUE(texture.GetAlphaImage().IsAvailable());

  // A shrinking palette conversion that fails leaves direct colour with the
  // alpha values of the alpha type.
  CTexture a3i5;
  FillDirect(&a3i5, 20, 1, [](int x, int) { return Exact(x); });
  ASSERT_TRUE(a3i5.Convert(CTexture::TYPE_A3I5));
  a3i5.GetAlphaImage().SetValue(3, 4, 0);
  a3i5.SetColorProcessor(&processor);
  EXPECT_TRUE(a3i5.Convert(CTexture::TYPE_PALETTE16));
  EXPECT_EQ(a3i5.GetType(), CTexture::TYPE_DIRECT);
  ASSERT_TRUE(a3i5.GetAlphaImage().IsAvailable());
  EXPECT_EQ(a3i5.GetAlphaImage().GetAlphaChannel()[4], 3);
  EXPECT_EQ(Colour(a3i5, 19, 0), Exact(19));
}

TEST(KelvaneTexture, Tex4x4DecodesToDirect) {
  // A host-filled 4x8 texture of two blocks: mode 3 (two colours and two
  // mixes) and mode 1 (two colours, their average and transparent).
  CTexture texture;
  texture.GetColorIndexImage().Create(4, 8);
  Kelvane::CColorPalette& palette = texture.GetColorPalette();
  palette.Create(4, 0, 0, 0);
  palette.SetValue(248, 0, 0, 0);
  palette.SetValue(0, 0, 248, 1);
  palette.SetValue(0, 200, 0, 2);
  palette.SetValue(100, 0, 0, 3);
  texture.GetColorPaletteAttribute().Create(2, 0);
  texture.GetColorPaletteAttribute()[0] = 3;
  texture.GetColorPaletteAttribute()[1] = 1;
  texture.GetColorPaletteAddress().Create(4, 2, 0);
  texture.GetColorPaletteAddress().SetValue(1, 1);
  for (unsigned short i = 0; i < 4; ++i) {
    texture.GetColorIndexImage().SetValue(static_cast<unsigned char>(i), i, 0);
    texture.GetColorIndexImage().SetValue(static_cast<unsigned char>(i), i, 4);
  }
  texture.SetType(CTexture::TYPE_TEX4X4);
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_DIRECT));
  ASSERT_EQ(texture.GetType(), CTexture::TYPE_DIRECT);
  EXPECT_EQ(Colour(texture, 0, 0), 0xF80000u);
  EXPECT_EQ(Colour(texture, 1, 0), 0x0000F8u);
  EXPECT_EQ(Colour(texture, 2, 0), (155u << 16) | 93u);  // (5 c0 + 3 c1) / 8
  EXPECT_EQ(Colour(texture, 3, 0), (93u << 16) | 155u);
  EXPECT_EQ(Colour(texture, 0, 4), 0x00C800u);
  EXPECT_EQ(Colour(texture, 2, 4), (50u << 16) | (100u << 8));
  EXPECT_EQ(Colour(texture, 3, 4), 0u);
  EXPECT_FALSE(texture.GetColorPaletteAttribute().IsAvailable());
  EXPECT_FALSE(texture.GetColorPaletteAddress().IsAvailable());
  EXPECT_FALSE(texture.GetAlphaImage().IsAvailable());

  // A mode above 3 cannot be decoded; Convert does not report it.
  CTexture bad;
  bad.GetColorIndexImage().Create(4, 4);
  bad.GetColorPalette().Create(4, 0, 0, 0);
  bad.GetColorPaletteAttribute().Create(1, 4);
  bad.GetColorPaletteAddress().Create(4, 1, 0);
  bad.SetType(CTexture::TYPE_TEX4X4);
  EXPECT_TRUE(bad.Convert(CTexture::TYPE_DIRECT));
  EXPECT_EQ(bad.GetType(), CTexture::TYPE_TEX4X4);
  EXPECT_TRUE(bad.Convert(CTexture::TYPE_PALETTE16));
  EXPECT_EQ(bad.GetType(), CTexture::TYPE_TEX4X4);
  EXPECT_TRUE(bad.GetColorPaletteAttribute().IsAvailable());
}

// The rows of the Convert state table that pass through direct colour.
TEST(KelvaneTexture, ConvertStateTableThroughDirect) {
  // A palette type to TYPE_TEX4X4: decoded to direct colour first, then
  // encoded; three exact colours per block come back unchanged.
  CTexture palette;
  FillDirect(&palette, 8, 4, [](int x, int y) { return Exact((x + y) % 3); });
  ASSERT_TRUE(palette.Convert(CTexture::TYPE_PALETTE16));
  ASSERT_EQ(palette.GetType(), CTexture::TYPE_PALETTE16);
  EXPECT_TRUE(palette.Convert(CTexture::TYPE_TEX4X4));
  EXPECT_EQ(palette.GetType(), CTexture::TYPE_TEX4X4);
  EXPECT_FALSE(palette.GetAlphaImage().IsAvailable());
  ASSERT_TRUE(palette.Convert(CTexture::TYPE_DIRECT));
  EXPECT_EQ(Colour(palette, 7, 3), Exact(1));

  // TYPE_TEX4X4 to a palette type: decoded, then reduced anew.
  CTexture blocks;
  blocks.GetColorIndexImage().Create(4, 4);
  for (unsigned short i = 0; i < 16; ++i) {
    blocks.GetColorIndexImage().SetValue(static_cast<unsigned char>(i % 2), i % 4, i / 4);
  }
  blocks.GetColorPalette().Create(2, 0, 0, 0);
  blocks.GetColorPalette().SetValue(248, 0, 0, 0);
  blocks.GetColorPalette().SetValue(0, 0, 248, 1);
  blocks.GetColorPaletteAttribute().Create(1, 3);
  blocks.GetColorPaletteAddress().Create(4, 1, 0);
  blocks.SetType(CTexture::TYPE_TEX4X4);
  CTexture same(blocks);
  EXPECT_TRUE(same.Convert(CTexture::TYPE_TEX4X4));  // already that type
  EXPECT_EQ(same.GetType(), CTexture::TYPE_TEX4X4);
  EXPECT_TRUE(same.GetColorPaletteAttribute().IsAvailable());
  ASSERT_TRUE(blocks.Convert(CTexture::TYPE_PALETTE4));
  ASSERT_EQ(blocks.GetType(), CTexture::TYPE_PALETTE4);
  EXPECT_EQ(blocks.GetColorPalette().GetNumber(), 2u);
  EXPECT_FALSE(blocks.GetColorPaletteAttribute().IsAvailable());
  EXPECT_FALSE(blocks.GetColorPaletteAddress().IsAvailable());
  EXPECT_FALSE(blocks.GetDirectColorImage().IsAvailable());
  EXPECT_FALSE(blocks.GetAlphaImage().IsAvailable());
  for (unsigned int i = 0; i < 16; ++i) {
    EXPECT_EQ(blocks.GetColorIndexImage().GetColorIndexData()[i], i % 2) << i;
  }

  // TYPE_DIRECT to itself: true, nothing changes.
  CTexture direct;
  FillDirect(&direct, 2, 2, [](int x, int) { return Exact(x); });
  EXPECT_TRUE(direct.Convert(CTexture::TYPE_DIRECT));
  EXPECT_EQ(direct.GetType(), CTexture::TYPE_DIRECT);
  EXPECT_EQ(Colour(direct, 1, 1), Exact(1));
}

TEST(KelvaneTexture, AlignmentRepeatsLastColumnAndRow) {
  CTexture texture;
  FillDirect(&texture, 3, 2, [](int x, int y) { return Exact(x + 3 * y); });
  texture.GetAlphaImage().SetValue(10, 2, 1);
  texture.GetAlphaImage().SetValue(20, 2, 0);
  ASSERT_TRUE(texture.AlignmentImageSize(8, 8));
  EXPECT_EQ(texture.GetWidth(), 8);
  EXPECT_EQ(texture.GetHeight(), 8);
  for (unsigned short y = 0; y < 8; ++y) {
    for (unsigned short x = 0; x < 8; ++x) {
      const int sx = x < 3 ? x : 2, sy = y < 2 ? y : 1;
      EXPECT_EQ(Colour(texture, x, y), Exact(sx + 3 * sy)) << x << "," << y;
      unsigned char a = 0;
      texture.GetAlphaImage().GetValue(&a, x, y);
      EXPECT_EQ(a, sx == 2 ? (sy == 1 ? 10 : 20) : 255) << x << "," << y;
    }
  }
  EXPECT_FALSE(texture.GetColorIndexImage().IsAvailable());
}

TEST(KelvaneTexture, AlignmentGrowsBlockTables) {
  CTexture texture;
  texture.GetColorIndexImage().Create(8, 4);
  texture.GetColorIndexImage().SetValue(3, 7, 3);
  texture.GetColorPaletteAttribute().Create(2, 0);
  texture.GetColorPaletteAttribute()[0] = 1;
  texture.GetColorPaletteAttribute()[1] = 2;
  texture.GetColorPaletteAddress().Create(4, 2, 0);
  texture.GetColorPaletteAddress().SetValue(70000, 0);
  texture.GetColorPaletteAddress().SetValue(5, 1);
  texture.SetType(CTexture::TYPE_TEX4X4);
  ASSERT_TRUE(texture.AlignmentImageSize(16, 8));
  const Kelvane::CData& attribute = texture.GetColorPaletteAttribute();
  ASSERT_EQ(attribute.GetByteSize(), 8u);
  EXPECT_EQ(std::vector<unsigned char>(attribute.GetpData(), attribute.GetpData() + 8),
            (std::vector<unsigned char>{1, 2, 2, 2, 1, 2, 2, 2}));
  const Kelvane::CByteData& address = texture.GetColorPaletteAddress();
  ASSERT_EQ(address.GetByteCount(), 2);
  ASSERT_EQ(address.GetNumber(), 8u);
  std::vector<unsigned int> values(8);
  for (unsigned int i = 0; i < 8; ++i) address.GetValue(&values[i], i);
  EXPECT_EQ(values, (std::vector<unsigned int>{70000 & 0xFFFF, 5, 5, 5, 70000 & 0xFFFF, 5, 5, 5}));
  unsigned char index = 0;
  texture.GetColorIndexImage().GetValue(&index, 15, 7);
  EXPECT_EQ(index, 3);
}

TEST(KelvaneTexture, AlignmentRefusesShrinkingAndEmptySides) {
  CTexture texture;
  EXPECT_TRUE(texture.AlignmentImageSize(8, 8));  // nothing to grow
  FillDirect(&texture, 4, 4, [](int x, int) { return Exact(x); });
  EXPECT_FALSE(texture.AlignmentImageSize(2, 8));
  EXPECT_FALSE(texture.AlignmentImageSize(8, 3));
  EXPECT_EQ(texture.GetWidth(), 4);
  EXPECT_TRUE(texture.AlignmentImageSize(4, 4));

  CTexture flat;
  flat.GetDirectColorImage().Create(0, 4, 0, 0, 0);
  flat.GetAlphaImage().Create(0, 4, 255);
  EXPECT_FALSE(flat.AlignmentImageSize(8, 8));
  EXPECT_EQ(flat.GetDirectColorImage().GetWidth(), 0);

  // An alpha image whose size does not agree with the texture's.
  CTexture odd;
  FillDirect(
      &odd, 4, 4, [](int x, int) { return Exact(x); }, false);
  odd.GetAlphaImage().Create(2, 2, 255);
  EXPECT_FALSE(odd.AlignmentImageSize(8, 8));
  EXPECT_EQ(odd.GetWidth(), 4);
}

}  // namespace
