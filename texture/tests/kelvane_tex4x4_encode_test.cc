// The 4x4-block encoder and decoder: the small cases, the mended faults, and
// every setting against the literal reference.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_palette_util.h"
#include "kelvane_tex4x4_reference.h"

namespace {

using Kelvane::CByteData;
using Kelvane::CColorPalette;
using Kelvane::CData;
using Kelvane::CDefaultColorProcessor;
using Kelvane::CTexture;
using kelvane_test::Entries;
using kelvane_test::Entry;
using kelvane_test::Palette;
using reference::Rgb;
using Factor = CDefaultColorProcessor::tConvertFactor;
namespace ref = reference::tex4x4;

// A direct texture; an empty alpha list gives no alpha image.
void Fill(CTexture* texture, unsigned short width, unsigned short height, const std::vector<Rgb>& texels,
          const std::vector<unsigned char>& alpha) {
  texture->Clear();
  texture->GetDirectColorImage().Create(width, height, 0, 0, 0);
  for (unsigned int i = 0; i < texels.size(); ++i) {
    texture->GetDirectColorImage().SetValue(texels[i].r, texels[i].g, texels[i].b,
                                            static_cast<unsigned short>(i % width),
                                            static_cast<unsigned short>(i / width));
  }
  if (!alpha.empty()) {
    texture->GetAlphaImage().Create(width, height, 255);
    for (unsigned int i = 0; i < alpha.size(); ++i) texture->GetAlphaImage().GetAlphaChannel()[i] = alpha[i];
  }
  texture->SetType(CTexture::TYPE_DIRECT);
}

std::vector<unsigned char> Bytes(const CData& data) {
  return std::vector<unsigned char>(data.GetpData(), data.GetpData() + data.GetByteSize());
}

std::vector<unsigned int> Addresses(const CByteData& table) {
  std::vector<unsigned int> out(table.GetNumber());
  for (unsigned int i = 0; i < out.size(); ++i) table.GetValue(&out[i], i);
  return out;
}

std::vector<Entry> FromRgb(const std::vector<Rgb>& colours) {
  std::vector<Entry> out;
  for (const Rgb& c : colours) out.push_back({c.r, c.g, c.b});
  return out;
}

std::vector<Rgb> Direct(const CTexture& texture) {
  const Kelvane::CDirectColorImage& image = texture.GetDirectColorImage();
  std::vector<Rgb> out(image.GetNumber());
  for (unsigned int i = 0; i < out.size(); ++i) {
    out[i] = {image.GetRedChannel()[i], image.GetGreenChannel()[i], image.GetBlueChannel()[i]};
  }
  return out;
}

Factor Settings(bool transparency, bool alpha_image, unsigned int algorithm, bool share = false,
                unsigned char tolerance = 0) {
  Factor f{};
  f.useTransparency = transparency;
  f.useAlphaImage = alpha_image;
  f.algorithm = static_cast<CDefaultColorProcessor::tAlgorithm>(algorithm);
  f.sharePalette = share;
  f.toleranceRed = f.toleranceGreen = f.toleranceBlue = tolerance;
  return f;
}

// Encodes through Convert with a processor of these settings.
bool Encode(CTexture* texture, CDefaultColorProcessor* processor, const Factor& factor) {
  processor->SetConvertFactor(&factor);
  texture->SetColorProcessor(processor);
  return texture->Convert(CTexture::TYPE_TEX4X4);
}

TEST(KelvaneTex4x4Encode, SmallBlocks) {
  CDefaultColorProcessor processor;
  CTexture texture;
  // One opaque colour: mode 3, the colour and a black filler, indices 0.
  Fill(&texture, 4, 4, std::vector<Rgb>(16, Rgb{200, 10, 10}), {});
  ASSERT_TRUE(Encode(&texture, &processor, Settings(false, false, 0)));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_TEX4X4);
  EXPECT_EQ(Bytes(texture.GetColorPaletteAttribute()), std::vector<unsigned char>{3});
  EXPECT_EQ(Entries(texture.GetColorPalette()), (std::vector<Entry>{{206, 8, 8}, {0, 0, 0}}));
  EXPECT_EQ(Bytes(texture.GetColorIndexImage().GetColorIndexData()), std::vector<unsigned char>(16, 0));
  EXPECT_FALSE(texture.GetDirectColorImage().IsAvailable());
  EXPECT_FALSE(texture.GetAlphaImage().IsAvailable());

  // Block 0 black, block 1 of four colours, one of them (1, 2, 3). Through
  // the alpha image, block 0 is wholly transparent (mode 1) and block 1 opaque
  // (mode 2). With (1, 2, 3) as the key instead, block 0 is one opaque colour
  // (mode 3) and block 1 transparent with three colours (mode 0: a run of 3
  // and black; index 3 for the key texels).
  std::vector<Rgb> texels(32, Rgb{0, 0, 0});
  std::vector<unsigned char> alpha(32, 0);
  for (unsigned int y = 0; y < 4; ++y) {
    for (unsigned int x = 4; x < 8; ++x) {
      texels[y * 8 + x] = x == 4 ? Rgb{1, 2, 3} : x == 5 ? Rgb{255, 255, 255} : x == 6 ? Rgb{0, 0, 0} : Rgb{96, 0, 0};
      alpha[y * 8 + x] = 255;
    }
  }
  Fill(&texture, 8, 4, texels, alpha);
  ASSERT_TRUE(Encode(&texture, &processor, Settings(true, true, 0)));
  EXPECT_EQ(Bytes(texture.GetColorPaletteAttribute()), (std::vector<unsigned char>{1, 2}));  // 4 colours, opaque
  Fill(&texture, 8, 4, texels, alpha);
  Factor key = Settings(true, false, 0);
  key.transparentRed = 1, key.transparentGreen = 2, key.transparentBlue = 3;
  ASSERT_TRUE(Encode(&texture, &processor, key));  // the key colour now, not the alpha image
  EXPECT_EQ(Bytes(texture.GetColorPaletteAttribute()), (std::vector<unsigned char>{3, 0}));
  EXPECT_EQ(Entries(texture.GetColorPalette()),
            (std::vector<Entry>{{0, 0, 0}, {0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {99, 0, 0}, {0, 0, 0}}));
  EXPECT_EQ(Addresses(texture.GetColorPaletteAddress()), (std::vector<unsigned int>{0, 1}));
  const std::vector<unsigned char> indices = Bytes(texture.GetColorIndexImage().GetColorIndexData());
  EXPECT_EQ(std::vector<unsigned char>(indices.begin() + 4, indices.begin() + 8),
            (std::vector<unsigned char>{3, 0, 1, 2}));

  Fill(&texture, 4, 4, std::vector<Rgb>(16, Rgb{5, 5, 5}), std::vector<unsigned char>(16, 0));
  ASSERT_TRUE(Encode(&texture, &processor, Settings(true, true, 0)));
  EXPECT_EQ(Bytes(texture.GetColorPaletteAttribute()), std::vector<unsigned char>{1});
  EXPECT_EQ(Addresses(texture.GetColorPaletteAddress()), std::vector<unsigned int>{0});
  EXPECT_EQ(texture.GetColorPalette().GetNumber(), 0u);
  EXPECT_EQ(Bytes(texture.GetColorIndexImage().GetColorIndexData()), std::vector<unsigned char>(16, 3));
}

TEST(KelvaneTex4x4Encode, TwoColourAlgorithmAndSharing) {
  std::vector<Rgb> texels;
  for (unsigned int i = 0; i < 32; ++i) texels.push_back(Rgb{static_cast<unsigned char>(i % 4 * 80), 0, 0});
  CDefaultColorProcessor processor;
  CTexture texture;
  Fill(&texture, 8, 4, texels, {});
  ASSERT_TRUE(Encode(&texture, &processor, Settings(false, false, CDefaultColorProcessor::ALGORITHM_HILOW_LINEAR)));
  EXPECT_EQ(Bytes(texture.GetColorPaletteAttribute()), (std::vector<unsigned char>{3, 3}));
  EXPECT_EQ(texture.GetColorPalette().GetNumber(), 4u);  // two blocks of 2 stored colours
  EXPECT_EQ(Addresses(texture.GetColorPaletteAddress()), (std::vector<unsigned int>{0, 1}));

  Fill(&texture, 8, 4, texels, {});
  ASSERT_TRUE(Encode(&texture, &processor, Settings(false, false, 0, true)));
  EXPECT_EQ(Addresses(texture.GetColorPaletteAddress()), (std::vector<unsigned int>{0, 0}));
  EXPECT_EQ(texture.GetColorPalette().GetNumber(), 4u);
}

TEST(KelvaneTex4x4Encode, RoundRobinRoundTripIsExact) {
  const std::vector<Rgb> four = {{255, 255, 255}, {0, 0, 0}, {132, 66, 33}, {8, 99, 214}};
  std::vector<Rgb> texels;
  for (unsigned int i = 0; i < 16; ++i) texels.push_back(four[(i * 7) % 4]);
  CDefaultColorProcessor processor;
  CTexture texture;
  Fill(&texture, 4, 4, texels, {});
  ASSERT_TRUE(Encode(&texture, &processor, Settings(false, false, CDefaultColorProcessor::ALGORITHM_ROUNDROBIN)));
  EXPECT_EQ(Bytes(texture.GetColorPaletteAttribute()), std::vector<unsigned char>{2});
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_DIRECT));
  EXPECT_TRUE(Direct(texture) == texels);
}

TEST(KelvaneTex4x4Encode, BlockHelpers) {
  CDefaultColorProcessor processor;
  Kelvane::CDirectColorImage image;
  image.Create(8, 8, 0, 0, 0);
  image.SetValue(1, 2, 3, 5, 6);
  Kelvane::CDirectColorImage block;
  processor.MakeBlockDirectColorImage_Tex4x4(&block, &image, 4, 4);
  unsigned char r = 0, g = 0, b = 0;
  block.GetValue(&r, &g, &b, 1, 2);
  EXPECT_EQ(r + g + b, 6);
  Kelvane::CAlphaImage block_alpha;
  EXPECT_TRUE(processor.MakeBlockAlphaImageUseTransparentColor_Tex4x4(&block_alpha, &block, tTLBRGB{1, 2, 3}));
  EXPECT_EQ(block_alpha.GetAlphaChannel()[9], 0);
  EXPECT_EQ(block_alpha.GetAlphaChannel()[8], 255);
  EXPECT_FALSE(processor.MakeBlockAlphaImageUseTransparentColor_Tex4x4(&block_alpha, &block,
                                                                       Kelvane::tTLBRGB{1, 2, 4}));
  Kelvane::CAlphaImage alpha;
  alpha.Create(8, 8, 128);
  EXPECT_FALSE(processor.MakeBlockAlphaImageUseAlpha_Tex4x4(&block_alpha, &alpha, 4, 0, 128));
  alpha.SetValue(127, 7, 3);
  EXPECT_TRUE(processor.MakeBlockAlphaImageUseAlpha_Tex4x4(&block_alpha, &alpha, 4, 0, 128));
  EXPECT_EQ(block_alpha.GetAlphaChannel()[15], 0);
  EXPECT_EQ(block_alpha.GetAlphaChannel()[14], 255);
}

// A run may only match where all of its entries have been written: entries at
// and past the used count (black, not yet written) never match.
TEST(KelvaneTex4x4Encode, FindNearPaletteMatchesOnlyWrittenRuns) {
  CDefaultColorProcessor processor;
  const CColorPalette palette = Palette({{10, 20, 30}, {40, 50, 60}, {0, 0, 0}, {0, 0, 0}});
  const CColorPalette three = Palette({{10, 20, 30}, {40, 50, 60}, {0, 0, 0}});
  EXPECT_EQ(processor.FindNearPalette(&three, &palette, 2, 0, 0, 0), -1);
  EXPECT_EQ(processor.FindNearPalette(&three, &palette, 4, 0, 0, 0), 0);
  const CColorPalette near = Palette({{18, 12, 30}, {40, 50, 68}});
  EXPECT_EQ(processor.FindNearPalette(&near, &palette, 2, 8, 8, 8), 0);
  EXPECT_EQ(processor.FindNearPalette(&near, &palette, 2, 8, 7, 8), -1);
  const CColorPalette second = Palette({{0, 0, 0}});
  EXPECT_EQ(processor.FindNearPalette(&second, &palette, 4, 0, 0, 0), 2);  // even positions only
  const CColorPalette none;
  EXPECT_EQ(processor.FindNearPalette(&none, &palette, 1, 0, 0, 0), 0);
  EXPECT_EQ(processor.FindNearPalette(&none, &palette, 0, 0, 0, 0), -1);
}

TEST(KelvaneTex4x4Encode, MergingStaysInsideItsRuns) {
  CDefaultColorProcessor processor;
  const Entry a{10, 0, 0}, b{20, 0, 0}, c{30, 0, 0}, d{40, 0, 0}, black{0, 0, 0};
  // A wholly transparent block stored nothing but is rebuilt as a 2-entry
  // run, so the new palette needs more entries than the old one had.
  CColorPalette palette = Palette({a, b, c, d});
  CByteData address;
  address.Create(4, 2, 0);
  CData attribute;
  attribute.Create(2, 1);
  attribute[1] = 2;
  ASSERT_TRUE(processor.CompressColorNumber_Tex4x4(&palette, &address, &attribute, 0, 0, 0));
  EXPECT_EQ(Entries(palette), (std::vector<Entry>{a, b, a, b, c, d}));
  EXPECT_EQ(Addresses(address), (std::vector<unsigned int>{0, 1}));

  // A run of 4 does not match a run of 2 followed by entries not yet written.
  palette = Palette({a, b, a, b, black, black, c, d});
  address.Create(4, 3, 0);
  address.SetValue(1, 1);
  address.SetValue(3, 2);
  attribute.Create(3, 1);
  attribute[1] = 2;
  ASSERT_TRUE(processor.CompressColorNumber_Tex4x4(&palette, &address, &attribute, 0, 0, 0));
  EXPECT_EQ(Entries(palette), (std::vector<Entry>{a, b, a, b, black, black, c, d}));
  EXPECT_EQ(Addresses(address), (std::vector<unsigned int>{0, 1, 3}));
}

class SearchingProcessor : public CDefaultColorProcessor {
 public:
  int FindNearColor(const CColorPalette* palette, unsigned char red, unsigned char green, unsigned char blue,
                    short excluded) override {
    ++calls;
    if (fail) return -1;
    return CDefaultColorProcessor::FindNearColor(palette, red, green, blue, excluded);
  }
  int calls = 0;
  bool fail = false;
};

void ExpectSame(const CTexture& texture, const ref::Encoded& want, const std::string& what) {
  ASSERT_EQ(Entries(texture.GetColorPalette()), FromRgb(want.palette)) << what;
  ASSERT_EQ(Bytes(texture.GetColorIndexImage().GetColorIndexData()), want.indices) << what;
  ASSERT_EQ(Bytes(texture.GetColorPaletteAttribute()), want.modes) << what;
  ASSERT_EQ(Addresses(texture.GetColorPaletteAddress()), want.addresses) << what;
}

// Random images of few colour levels (many ties), with transparent texels
// and key-coloured runs.
void RandomImage(std::mt19937& random, unsigned int width, unsigned int height, unsigned int levels,
                 std::vector<Rgb>* texels, std::vector<unsigned char>* alpha) {
  texels->clear();
  alpha->clear();
  for (unsigned int i = 0; i < width * height; ++i) {
    auto level = [&] { return static_cast<unsigned char>(random() % levels * 255 / (levels - 1) + random() % 3); };
    texels->push_back(random() % 9 == 0 ? Rgb{16, 32, 48} : Rgb{level(), level(), level()});
    alpha->push_back(random() % 7 == 0 ? static_cast<unsigned char>(random() % 128) : 200);
  }
  // Some blocks wholly transparent or of one colour.
  for (unsigned int y = 0; y < 4; ++y) {
    for (unsigned int x = 0; x < 4; ++x) {
      (*alpha)[y * width + x] = 0;
      (*texels)[y * width + width - 4 + x] = Rgb{70, 80, 90};
    }
  }
}

TEST(KelvaneTex4x4Encode, MatchesLiteralForEverySetting) {
  std::mt19937 random(3);
  struct Sharing {
    bool on;
    unsigned char red, green, blue;
  };
  // Tolerances 0, small, large, and ones whose 8 x tolerance wraps (32 -> 0).
  const Sharing kSharing[] = {{false, 0, 0, 0}, {true, 0, 0, 0}, {true, 1, 2, 1}, {true, 20, 25, 31},
                              {true, 32, 33, 40}};
  CDefaultColorProcessor processor;
  SearchingProcessor derived;
  CTexture texture;
  int round = 0;
  for (unsigned int algorithm = 0; algorithm <= 4; ++algorithm) {
    for (int transparency = 0; transparency < 4; ++transparency) {  // off, key, alpha image, no alpha image
      for (const Sharing& sharing : kSharing) {
        // Now and then an image of 512 blocks, encoded on several threads.
        const bool large = round % 7 == 0;
        const unsigned int width = large ? 128 : 4 * (1 + random() % 5);
        const unsigned int height = large ? 64 : 4 * (1 + random() % 4);
        std::vector<Rgb> texels;
        std::vector<unsigned char> alpha;
        RandomImage(random, width, height, 2 + round % 4, &texels, &alpha);
        if (transparency == 3) alpha.clear();
        Factor factor = Settings(transparency != 0, transparency >= 2, algorithm, sharing.on);
        factor.toleranceRed = sharing.red, factor.toleranceGreen = sharing.green;
        factor.toleranceBlue = sharing.blue;
        factor.transparentRed = 16, factor.transparentGreen = 32, factor.transparentBlue = 48;
        ref::Settings s;
        s.use_transparency = factor.useTransparency;
        s.use_alpha_image = factor.useAlphaImage;
        s.key = Rgb{16, 32, 48};
        s.algorithm = algorithm;
        s.tolerance[0] = sharing.red, s.tolerance[1] = sharing.green, s.tolerance[2] = sharing.blue;
        s.share = sharing.on;
        const ref::Encoded want = ref::Encode(width, height, texels, alpha, s);
        const std::string what = "round " + std::to_string(round);
        // The library's own processor, and a derived one (sequential, virtual search).
        for (CDefaultColorProcessor* p : {&processor, static_cast<CDefaultColorProcessor*>(&derived)}) {
          Fill(&texture, static_cast<unsigned short>(width), static_cast<unsigned short>(height), texels, alpha);
          ASSERT_TRUE(Encode(&texture, p, factor)) << what;
          ExpectSame(texture, want, what);
          ASSERT_TRUE(texture.Convert(CTexture::TYPE_DIRECT));
          ASSERT_TRUE(Direct(texture) == ref::Decode(width, height, want)) << what;
        }
        ++round;
      }
    }
  }
  EXPECT_GT(derived.calls, 0);
}

// Images of more than 32768 palette entries, reduced in 1, 2 and 3 passes,
// large enough to be encoded on several threads.
TEST(KelvaneTex4x4Encode, ReductionPassesMatchLiteral) {
  std::mt19937 random(8);
  CDefaultColorProcessor processor;
  CTexture texture;
  std::set<int> passes;
  const unsigned int width = 512, height = 272;  // 8704 blocks, up to 34816 entries
  struct Case {
    unsigned int spread;  // how far a block's colours stray from the block's base colour
    unsigned int algorithm;
    unsigned char tolerance;
    bool share;
  };
  for (const Case& c : {Case{8, 0, 0, false}, Case{32, 0, 0, false}, Case{64, 0, 0, false}, Case{40, 0, 31, false}}) {
    std::vector<Rgb> texels(width * height);
    for (unsigned int k = 0; k < width * height / 16; ++k) {
      const unsigned int x0 = 4 * (k % (width / 4)), y0 = 4 * (k / (width / 4));
      const Rgb base{static_cast<unsigned char>(random() % 150), static_cast<unsigned char>(random() % 150),
                     static_cast<unsigned char>(random() % 150)};
      for (unsigned int i = 0; i < 16; ++i) {
        const auto stray = [&](unsigned char v) { return static_cast<unsigned char>(v + random() % c.spread); };
        texels[(y0 + i / 4) * width + x0 + i % 4] = Rgb{stray(base.r), stray(base.g), stray(base.b)};
      }
    }
    ref::Settings s;
    s.algorithm = c.algorithm;
    s.tolerance[0] = s.tolerance[1] = s.tolerance[2] = c.tolerance;
    s.share = c.share;
    const ref::Encoded want = ref::Encode(width, height, texels, {}, s);
    ASSERT_TRUE(want.ok);
    passes.insert(want.passes);
    Fill(&texture, width, height, texels, {});
    ASSERT_TRUE(Encode(&texture, &processor, Settings(false, false, c.algorithm, c.share, c.tolerance)));
    ExpectSame(texture, want, "spread " + std::to_string(c.spread));
  }
  EXPECT_TRUE(passes.count(1) && passes.count(2) && passes.count(3)) << passes.size();
}

TEST(KelvaneTex4x4Encode, ConvertPathsAndFailures) {
  CTexture texture;
  std::vector<Rgb> texels;
  for (unsigned int i = 0; i < 64; ++i) texels.push_back(Rgb{static_cast<unsigned char>(i * 4), 0, 0});
  Fill(&texture, 8, 8, texels, std::vector<unsigned char>(64, 255));
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE16));
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_TEX4X4));  // through direct colour
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_TEX4X4);
  EXPECT_EQ(texture.GetColorPaletteAddress().GetByteCount(), 4);
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE4));  // decoded, then reduced
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_PALETTE4);

  // A derived search that fails stops the encoding; the texture stays direct.
  SearchingProcessor failing;
  failing.fail = true;
  Fill(&texture, 8, 8, texels, {});
  texture.SetColorProcessor(&failing);
  EXPECT_FALSE(texture.Convert(CTexture::TYPE_TEX4X4));
  EXPECT_EQ(texture.GetType(), CTexture::TYPE_DIRECT);
  EXPECT_TRUE(texture.GetDirectColorImage().IsAvailable());

  // An alpha image of another size cannot be read.
  CDefaultColorProcessor processor;
  Fill(&texture, 8, 8, texels, {});
  texture.GetAlphaImage().Create(4, 4, 255);
  EXPECT_FALSE(Encode(&texture, &processor, Settings(true, true, 0)));
}

}  // namespace
