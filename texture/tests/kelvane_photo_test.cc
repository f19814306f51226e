// End-to-end conversion of a real photograph against the literal reference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_image_loader.h"
#include "kelvane_reference.h"
#include "kelvane_tex4x4_reference.h"

namespace {

using Kelvane::CTexture;

bool ReadPhoto(const std::string& path, unsigned int* width, unsigned int* height,
               std::vector<reference::Rgb>* texels) {
  kelvane_example::Image image;
  if (kelvane_example::LoadImage(path, &image) != kelvane_example::LoadStatus::kOk) return false;
  *width = image.width;
  *height = image.height;
  texels->clear();
  for (size_t i = 0; i < image.rgb.size(); i += 3)
    texels->push_back({image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]});
  return true;
}

TEST(KelvanePhoto, ConversionMatchesLiteralAndMapsToNearest) {
  unsigned int width = 0, height = 0;
  std::vector<reference::Rgb> texels;
  ASSERT_TRUE(ReadPhoto(std::string(TEST_DATA_DIR) + "/photo-cat-64.ppm", &width, &height, &texels));
  ASSERT_EQ(width, 64u);
  ASSERT_EQ(height, 64u);

  const struct {
    CTexture::tType type;
    unsigned int entries;
  } kTargets[] = {
      {CTexture::TYPE_PALETTE256, 256}, {CTexture::TYPE_PALETTE16, 16}, {CTexture::TYPE_PALETTE4, 4}};
  for (const auto& target : kTargets) {
    SCOPED_TRACE(target.entries);
    CTexture texture;
    texture.GetDirectColorImage().Create(64, 64, 0, 0, 0);
    for (unsigned int i = 0; i < texels.size(); ++i) {
      texture.GetDirectColorImage().SetValue(texels[i].r, texels[i].g, texels[i].b,
                                             static_cast<unsigned short>(i % 64),
                                             static_cast<unsigned short>(i / 64));
    }
    texture.GetAlphaImage().Create(64, 64, 255);
    texture.SetType(CTexture::TYPE_DIRECT);
    ASSERT_TRUE(texture.Convert(target.type));
    ASSERT_EQ(texture.GetType(), target.type);

    const Kelvane::CColorPalette& palette = texture.GetColorPalette();
    std::vector<reference::Rgb> got_palette(palette.GetNumber());
    for (unsigned int i = 0; i < got_palette.size(); ++i) {
      palette.GetValue(&got_palette[i].r, &got_palette[i].g, &got_palette[i].b, i);
    }
    const Kelvane::CData& index_data = texture.GetColorIndexImage().GetColorIndexData();
    const std::vector<unsigned char> got_indices(index_data.GetpData(),
                                                 index_data.GetpData() + index_data.GetByteSize());

    std::vector<reference::Rgb> want_palette;
    std::vector<unsigned char> want_indices;
    reference::ConvertOpaque(texels, target.entries, &want_palette, &want_indices);
    ASSERT_EQ(got_palette.size(), want_palette.size());
    for (size_t i = 0; i < want_palette.size(); ++i) ASSERT_TRUE(got_palette[i] == want_palette[i]) << i;
    ASSERT_EQ(got_indices, want_indices);

    // A real reduction: the palette fills most of the type, with distinct
    // colours exactly representable in 5 bits per channel.
    EXPECT_GT(got_palette.size(), target.entries / 2);
    EXPECT_LE(got_palette.size(), target.entries);
    EXPECT_EQ(reference::CutCommon(got_palette).size(), got_palette.size());
    for (const auto& c : got_palette) {
      EXPECT_EQ(c.r, reference::LowerBit5(c.r));
      EXPECT_EQ(c.g, reference::LowerBit5(c.g));
      EXPECT_EQ(c.b, reference::LowerBit5(c.b));
    }
    // Every texel maps to an entry at the smallest distance.
    for (size_t i = 0; i < texels.size(); ++i) {
      ASSERT_LT(got_indices[i], got_palette.size());
      const uint32_t chosen = reference::Distance(got_palette[got_indices[i]], texels[i]);
      for (const auto& c : got_palette) ASSERT_LE(chosen, reference::Distance(c, texels[i]));
    }
  }
}

TEST(KelvanePhoto, Tex4x4MatchesLiteral) {
  unsigned int width = 0, height = 0;
  std::vector<reference::Rgb> texels;
  ASSERT_TRUE(ReadPhoto(std::string(TEST_DATA_DIR) + "/photo-cat-64.ppm", &width, &height, &texels));
  // The key colour: the photograph's first texel, wherever it recurs.
  const reference::Rgb key = texels[0];
  for (unsigned int algorithm = 0; algorithm < 4; ++algorithm) {
    for (int setting = 0; setting < 3; ++setting) {
      SCOPED_TRACE(algorithm * 10 + setting);
      reference::tex4x4::Settings s;
      s.algorithm = algorithm;
      s.use_transparency = setting == 2;
      s.key = key;
      s.share = setting > 0;
      s.tolerance[0] = s.tolerance[1] = s.tolerance[2] = static_cast<unsigned char>(setting == 1 ? 1 : 0);
      const auto want = reference::tex4x4::Encode(width, height, texels, {}, s);

      Kelvane::CDefaultColorProcessor processor;
      Kelvane::CDefaultColorProcessor::tConvertFactor factor{};
      factor.algorithm = static_cast<Kelvane::CDefaultColorProcessor::tAlgorithm>(algorithm);
      factor.useTransparency = s.use_transparency;
      factor.transparentRed = key.r, factor.transparentGreen = key.g, factor.transparentBlue = key.b;
      factor.sharePalette = s.share;
      factor.toleranceRed = factor.toleranceGreen = factor.toleranceBlue = s.tolerance[0];
      processor.SetConvertFactor(&factor);
      CTexture texture;
      texture.SetColorProcessor(&processor);
      texture.GetDirectColorImage().Create(64, 64, 0, 0, 0);
      for (unsigned int i = 0; i < texels.size(); ++i) {
        texture.GetDirectColorImage().SetValue(texels[i].r, texels[i].g, texels[i].b,
                                               static_cast<unsigned short>(i % 64),
                                               static_cast<unsigned short>(i / 64));
      }
      texture.SetType(CTexture::TYPE_DIRECT);
      ASSERT_TRUE(texture.Convert(CTexture::TYPE_TEX4X4));

      const Kelvane::CColorPalette& palette = texture.GetColorPalette();
      ASSERT_EQ(palette.GetNumber(), want.palette.size());
      for (unsigned int i = 0; i < palette.GetNumber(); ++i) {
        reference::Rgb c;
        palette.GetValue(&c.r, &c.g, &c.b, i);
        ASSERT_TRUE(c == want.palette[i]) << i;
      }
      const Kelvane::CData& indices = texture.GetColorIndexImage().GetColorIndexData();
      ASSERT_EQ(std::vector<unsigned char>(indices.GetpData(), indices.GetpData() + indices.GetByteSize()),
                want.indices);
      const Kelvane::CData& modes = texture.GetColorPaletteAttribute();
      ASSERT_EQ(std::vector<unsigned char>(modes.GetpData(), modes.GetpData() + modes.GetByteSize()), want.modes);
      for (unsigned int k = 0; k < want.addresses.size(); ++k) {
        unsigned int address = 0;
        texture.GetColorPaletteAddress().GetValue(&address, k);
        ASSERT_EQ(address, want.addresses[k]) << k;
      }
      ASSERT_TRUE(texture.Convert(CTexture::TYPE_DIRECT));
      const auto decoded = reference::tex4x4::Decode(width, height, want);
      for (unsigned int i = 0; i < texels.size(); ++i) {
        reference::Rgb c;
        texture.GetDirectColorImage().GetValue(&c.r, &c.g, &c.b, static_cast<unsigned short>(i % 64),
                                               static_cast<unsigned short>(i / 64));
        ASSERT_TRUE(c == decoded[i]) << i;
      }
    }
  }
}

}  // namespace
