// End-to-end conversion of a real photograph against the literal reference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_image_loader.h"
#include "kelvane_reference.h"

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

}  // namespace
