// The example's data decoder against the library's own decoding, on textures
// written by the library's writer.
#include "kelvane_data_decoder.h"
#include "kelvane_convert_args.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "kelvane/kelvane.h"

namespace {

using Kelvane::CTexture;

unsigned char Exact5(unsigned int v) { return static_cast<unsigned char>((v & 0xF8) | ((v & 0xFF) >> 5)); }

TEST(KelvaneDataDecoder, AgreesWithLibraryDecodeOnEveryType) {
  std::mt19937 random(17);
  const unsigned int kEntries[] = {4, 8, 16, 32, 256};
  for (int round = 0; round < 70; ++round) {
    const auto type = static_cast<CTexture::tType>(round % 7);
    const bool blocks = type == CTexture::TYPE_TEX4X4;
    const auto w = static_cast<unsigned short>(blocks ? 4 * (1 + random() % 6) : 1 + random() % 23);
    const auto h = static_cast<unsigned short>(blocks ? 4 * (1 + random() % 6) : 1 + random() % 23);
    SCOPED_TRACE(testing::Message() << "type " << type << " " << w << "x" << h);
    CTexture texture;
    std::vector<unsigned char> want_clear(size_t{w} * h, 0);
    if (type == CTexture::TYPE_DIRECT) {
      texture.GetDirectColorImage().Create(w, h, 0, 0, 0);
      texture.GetAlphaImage().Create(w, h, 255);
      for (unsigned int i = 0; i < want_clear.size(); ++i) {
        const auto x = static_cast<unsigned short>(i % w), y = static_cast<unsigned short>(i / w);
        texture.GetDirectColorImage().SetValue(Exact5(random()), Exact5(random()), Exact5(random()), x, y);
        want_clear[i] = random() % 4 == 0;
        texture.GetAlphaImage().SetValue(want_clear[i] ? 0 : static_cast<unsigned char>(1 + random() % 255),
                                         x, y);
      }
    } else {
      const unsigned int colours = blocks ? 8 + random() % 40 : kEntries[type];
      texture.GetColorPalette().Create(colours, 0, 0, 0);
      for (unsigned int i = 0; i < colours; ++i)
        texture.GetColorPalette().SetValue(Exact5(random()), Exact5(random()), Exact5(random()), i);
      texture.GetColorIndexImage().Create(w, h);
      if (type == CTexture::TYPE_A5I3 || type == CTexture::TYPE_A3I5) texture.GetAlphaImage().Create(w, h, 0);
      for (unsigned int i = 0; i < want_clear.size(); ++i) {
        const auto x = static_cast<unsigned short>(i % w), y = static_cast<unsigned short>(i / w);
        texture.GetColorIndexImage().SetValue(static_cast<unsigned char>(random() % (blocks ? 4 : colours)),
                                              x, y);
        if (texture.GetAlphaImage().IsAvailable()) {
          const auto alpha = static_cast<unsigned char>(random());
          texture.GetAlphaImage().SetValue(alpha, x, y);
          want_clear[i] = alpha < 128;
        }
      }
      if (blocks) {
        const unsigned int count = w * h / 16u;
        texture.GetColorPaletteAttribute().Create(count, 0);
        texture.GetColorPaletteAddress().Create(2, count, 0);
        for (unsigned int k = 0; k < count; ++k) {
          const auto mode = static_cast<unsigned char>(random() % 4);
          texture.GetColorPaletteAttribute()[k] = mode;
          texture.GetColorPaletteAddress().SetValue(random() % (colours / 2), k);
          for (unsigned int t = 0; t < 16; ++t) {
            const unsigned int x = 4 * (k % (w / 4u)) + t % 4, y = 4 * (k / (w / 4u)) + t / 4;
            unsigned char index = 0;
            texture.GetColorIndexImage().GetValue(&index, static_cast<unsigned short>(x),
                                                  static_cast<unsigned short>(y));
            want_clear[y * w + x] = mode < 2 && index == 3;
          }
        }
      }
    }
    texture.SetType(type);

    Kelvane::CMvx writer;
    kelvane_example::TextureData data;
    unsigned int texel = 0, palette = 0, index = 0;
    ASSERT_TRUE(writer.GetDataByteSize(&texel, &palette, &index, &texture, false));
    data.type = type;
    data.width = w;
    data.height = h;
    data.texel.resize(texel);
    data.palette.resize(palette);
    data.palette_index.resize(index);
    Kelvane::CMvx::tMemory memory{data.texel.data(),         texel, data.palette.data(), palette,
                                  data.palette_index.data(), index};
    ASSERT_TRUE(writer.Write(&memory, &texture, false));
    kelvane_example::Image image;
    std::vector<unsigned char> clear;
    ASSERT_TRUE(kelvane_example::DecodeTextureData(data, false, &image, &clear));
    EXPECT_EQ(clear, want_clear);

    ASSERT_TRUE(texture.Convert(CTexture::TYPE_DIRECT));
    ASSERT_EQ(texture.GetType(), CTexture::TYPE_DIRECT);
    const Kelvane::CDirectColorImage& direct = texture.GetDirectColorImage();
    for (unsigned int i = 0; i < want_clear.size(); ++i) {
      ASSERT_EQ(image.rgb[3 * i], direct.GetRedChannel()[i]) << i;
      ASSERT_EQ(image.rgb[3 * i + 1], direct.GetGreenChannel()[i]) << i;
      ASSERT_EQ(image.rgb[3 * i + 2], direct.GetBlueChannel()[i]) << i;
    }
  }
}

TEST(KelvaneDataDecoder, RefusesShortBlocks) {
  kelvane_example::TextureData data;
  data.type = CTexture::TYPE_PALETTE4;
  data.width = 3;
  data.height = 3;
  data.texel.resize(2);  // 9 texels need two words
  kelvane_example::Image image;
  std::vector<unsigned char> clear;
  EXPECT_FALSE(kelvane_example::DecodeTextureData(data, false, &image, &clear));
  data.texel.resize(4);
  EXPECT_TRUE(kelvane_example::DecodeTextureData(data, false, &image, &clear));
  data.type = CTexture::TYPE_NONE;
  EXPECT_FALSE(kelvane_example::DecodeTextureData(data, false, &image, &clear));
}

// The converter's words for its settings, and the preview's measures.
TEST(KelvaneConvertArgs, ReadsNamesColoursAndPreviewFormats) {
  CTexture::tType type = CTexture::TYPE_NONE;
  EXPECT_TRUE(kelvane_example::ParseTypeName("tex4x4", &type));
  EXPECT_EQ(type, CTexture::TYPE_TEX4X4);
  EXPECT_FALSE(kelvane_example::ParseTypeName("Tex4x4", &type));
  Kelvane::CDefaultColorProcessor::tAlgorithm algorithm{};
  EXPECT_TRUE(kelvane_example::ParseAlgorithmName("roundrobin-linear", &algorithm));
  EXPECT_EQ(algorithm, Kelvane::CDefaultColorProcessor::ALGORITHM_ROUNDROBIN_LINEAR);
  unsigned char rgb[3] = {};
  EXPECT_TRUE(kelvane_example::ParseRgbTriple("0,128,255", rgb));
  EXPECT_EQ(rgb[1], 128);
  for (const char* bad : {"0,128", "0,128,256", "0,,1", "1,2,3,", " 1,2,3", "a,b,c"}) {
    EXPECT_FALSE(kelvane_example::ParseRgbTriple(bad, rgb)) << bad;
  }
  EXPECT_TRUE(kelvane_example::NamesPng("out/Preview.PnG"));
  EXPECT_FALSE(kelvane_example::NamesPng("png"));
  EXPECT_FALSE(kelvane_example::NamesPng("preview.ppm"));

  // A 1x1 original inside a 2x1 decoded image: only its texel counts.
  kelvane_example::Image original, decoded;
  original.width = original.height = 1;
  original.rgb = {10, 20, 30};
  decoded.width = 2;
  decoded.height = 1;
  decoded.rgb = {13, 20, 26, 200, 200, 200};
  EXPECT_EQ(kelvane_example::SquaredError(decoded, original), 9.0 + 16.0);
  kelvane_example::PaintTransparent({0, 1}, &decoded);
  EXPECT_EQ(decoded.rgb, (std::vector<unsigned char>{13, 20, 26, 255, 0, 255}));
}

}  // namespace
