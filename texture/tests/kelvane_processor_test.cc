// The default colour processor: settings layout, nearest-colour search,
// median cut and the conversion to palette types.
#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_palette_util.h"
#include "kelvane_reference.h"

namespace {

using Kelvane::CColorPalette;
using Kelvane::CDefaultColorProcessor;
using Kelvane::CTexture;
using Factor = CDefaultColorProcessor::tConvertFactor;

using kelvane_test::Entries;
using kelvane_test::Entry;
using kelvane_test::Palette;

// A direct texture from a row-major list of colours, with an opaque alpha image.
void FillDirect(CTexture* texture, unsigned short width, unsigned short height,
                const std::vector<Entry>& texels) {
  texture->GetDirectColorImage().Create(width, height, 0, 0, 0);
  for (unsigned int i = 0; i < texels.size(); ++i) {
    texture->GetDirectColorImage().SetValue(texels[i].r, texels[i].g, texels[i].b,
                                            static_cast<unsigned short>(i % width),
                                            static_cast<unsigned short>(i / width));
  }
  texture->GetAlphaImage().Create(width, height, 255);
  texture->SetType(CTexture::TYPE_DIRECT);
}

std::vector<unsigned char> Indices(const CTexture& texture) {
  const Kelvane::CData& data = texture.GetColorIndexImage().GetColorIndexData();
  return std::vector<unsigned char>(data.GetpData(), data.GetpData() + data.GetByteSize());
}

const Entry kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

TEST(KelvaneProcessor, ConvertFactorLayout) {
  EXPECT_EQ(offsetof(Factor, useTransparency), 0u);
  EXPECT_EQ(offsetof(Factor, algorithm), 4u);
  EXPECT_EQ(offsetof(Factor, transparentRed), 8u);
  EXPECT_EQ(offsetof(Factor, transparentGreen), 9u);
  EXPECT_EQ(offsetof(Factor, transparentBlue), 10u);
  EXPECT_EQ(offsetof(Factor, useAlphaImage), 11u);
  EXPECT_EQ(offsetof(Factor, toleranceRed), 12u);
  EXPECT_EQ(offsetof(Factor, toleranceGreen), 13u);
  EXPECT_EQ(offsetof(Factor, toleranceBlue), 14u);
  EXPECT_EQ(offsetof(Factor, sharePalette), 15u);
  EXPECT_EQ(offsetof(Factor, pFixedPalette), 16u);
  EXPECT_EQ(sizeof(Factor), 16 + sizeof(void*));
  EXPECT_EQ(sizeof(CDefaultColorProcessor::tAlgorithm), 4u);
  EXPECT_EQ(sizeof(CTexture::tType), 4u);
  EXPECT_EQ(sizeof(CDefaultColorProcessor), sizeof(void*) + sizeof(Factor));
}

TEST(KelvaneProcessor, SettingsStartZeroAndCopyWhole) {
  CDefaultColorProcessor processor;
  const Factor zero = processor.GetConvertFactor();
  EXPECT_FALSE(zero.useTransparency);
  EXPECT_EQ(zero.algorithm, CDefaultColorProcessor::ALGORITHM_HILOW);
  EXPECT_EQ(zero.transparentRed + zero.toleranceBlue, 0);
  EXPECT_FALSE(zero.sharePalette);
  Factor factor{};
  factor.useTransparency = true;
  factor.algorithm = CDefaultColorProcessor::ALGORITHM_ROUNDROBIN;
  factor.transparentGreen = 7;
  factor.toleranceBlue = 3;
  processor.SetConvertFactor(&factor);
  CDefaultColorProcessor copy(processor);
  CDefaultColorProcessor assigned;
  assigned = processor;
  for (const CDefaultColorProcessor* p : {&processor, &copy, &assigned}) {
    const Factor got = p->GetConvertFactor();
    EXPECT_TRUE(got.useTransparency);
    EXPECT_EQ(got.algorithm, CDefaultColorProcessor::ALGORITHM_ROUNDROBIN);
    EXPECT_EQ(got.transparentGreen, 7);
    EXPECT_EQ(got.toleranceBlue, 3);
  }
}

TEST(KelvaneProcessor, FindNearColorTiesAndExclusion) {
  CDefaultColorProcessor processor;
  const CColorPalette palette = Palette({{10, 0, 0}, {0, 0, 0}, {20, 0, 0}, {10, 0, 0}});
  EXPECT_EQ(processor.FindNearColor(&palette, 10, 0, 0, -1), 0);
  EXPECT_EQ(processor.FindNearColor(&palette, 10, 0, 0, 0), 3);
  EXPECT_EQ(processor.FindNearColor(&palette, 5, 0, 0, -1), 0);  // tie with entry 1: lower index
  EXPECT_EQ(processor.FindNearColor(&palette, 5, 0, 0, 0), 1);
  const CColorPalette one = Palette({kWhite});
  EXPECT_EQ(processor.FindNearColor(&one, 1, 2, 3, 0), 0);
  const CColorPalette empty;
  EXPECT_EQ(processor.FindNearColor(&empty, 1, 2, 3, -1), 0);
  // Channels are weighted 30, 59 and 11: 31 steps of green are farther than 60 of red.
  const CColorPalette weighted = Palette({{0, 31, 0}, {60, 0, 0}});
  EXPECT_EQ(processor.FindNearColor(&weighted, 0, 0, 0, -1), 1);
}

// The grouped search against the literal scan: palettes of every length (not
// only whole groups), all excluded entries, few levels for many ties.
TEST(KelvaneProcessor, FindNearColorMatchesLiteralScan) {
  std::mt19937 random(41);
  CDefaultColorProcessor processor;
  for (int round = 0; round < 400; ++round) {
    const unsigned int count = round < 300 ? round % 19 : 200 + random() % 120;
    const unsigned int levels = std::vector<unsigned int>{2, 3, 256}[random() % 3];
    auto value = [&] { return static_cast<unsigned char>(random() % levels * (255 / (levels - 1))); };
    std::vector<reference::Rgb> entries(count);
    for (auto& e : entries) e = reference::Rgb{value(), value(), value()};
    CColorPalette palette;
    palette.Create(count, 0, 0, 0);
    for (unsigned int i = 0; i < count; ++i) palette.SetValue(entries[i].r, entries[i].g, entries[i].b, i);
    const short excluded =
        static_cast<short>(random() % 2 == 0 ? -1 : static_cast<int>(random() % (count + 1)));
    for (int q = 0; q < 40; ++q) {
      const reference::Rgb c =
          q % 2 == 0 || count == 0 ? reference::Rgb{value(), value(), value()} : entries[random() % count];
      ASSERT_EQ(processor.FindNearColor(&palette, c.r, c.g, c.b, excluded),
                reference::FindNear(entries, c, excluded))
          << round << " " << q;
    }
  }
}

// Images where nearly every texel is a new colour: the worst case of the
// per-colour search, against the literal conversion.
TEST(KelvaneProcessor, ManyColourImagesMatchLiteral) {
  std::mt19937 random(43);
  for (int round = 0; round < 6; ++round) {
    const unsigned short width = static_cast<unsigned short>(37 + random() % 40);
    const unsigned short height = static_cast<unsigned short>(20 + random() % 30);
    std::vector<reference::Rgb> texels(size_t{width} * height);
    std::vector<Entry> entries(texels.size());
    for (size_t i = 0; i < texels.size(); ++i) {
      const uint32_t v = random();
      texels[i] = reference::Rgb{static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                 static_cast<unsigned char>(v >> 16)};
      entries[i] = Entry{texels[i].r, texels[i].g, texels[i].b};
    }
    const CTexture::tType type = round % 2 == 0 ? CTexture::TYPE_PALETTE256 : CTexture::TYPE_PALETTE16;
    CTexture texture;
    FillDirect(&texture, width, height, entries);
    ASSERT_TRUE(texture.Convert(type));
    ASSERT_EQ(texture.GetType(), type);
    std::vector<reference::Rgb> want_palette;
    std::vector<unsigned char> want_indices;
    reference::ConvertOpaque(texels, type == CTexture::TYPE_PALETTE256 ? 256 : 16, &want_palette,
                             &want_indices);
    const std::vector<Entry> got = Entries(texture.GetColorPalette());
    ASSERT_EQ(got.size(), want_palette.size());
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_TRUE((got[i] == Entry{want_palette[i].r, want_palette[i].g, want_palette[i].b})) << i;
    ASSERT_EQ(Indices(texture), want_indices);
  }
}

TEST(KelvaneProcessor, MedianCutExample) {
  CDefaultColorProcessor processor;
  const CColorPalette colours =
      Palette({{0, 0, 0}, {64, 0, 0}, {128, 0, 0}, {192, 0, 0}, {255, 0, 0}, {0, 0, 255}});
  CColorPalette out;
  out.Create(2, 9, 9, 9);
  processor.CompressPalette_MedhianCut(&out, &colours);
  EXPECT_EQ(Entries(out), (std::vector<Entry>{{128, 0, 0}, {0, 0, 255}}));

  CColorPalette roomy;
  roomy.Create(6, 9, 9, 9);
  processor.CompressPalette_MedhianCut(&roomy, &colours);
  EXPECT_EQ(Entries(roomy), Entries(colours));
}

TEST(KelvaneProcessor, MedianCutMatchesLiteralWithRepeats) {
  std::mt19937 random(5);
  CDefaultColorProcessor processor;
  for (unsigned int n : {4u, 8u, 16u, 32u, 256u}) {
    for (unsigned int count : {n + 1, 3 * n, 700u}) {
      std::vector<Entry> entries;
      std::vector<reference::Rgb> literal;
      for (unsigned int i = 0; i < count; ++i) {
        const Entry e{static_cast<unsigned char>(random() % 6 * 50),
                      static_cast<unsigned char>(random() % 3 * 120),
                      static_cast<unsigned char>(random() % 256)};
        entries.push_back(e);
        literal.push_back({e.r, e.g, e.b});
      }
      std::vector<reference::Rgb> want(n, reference::Rgb{1, 2, 3});
      reference::MedianCut(want, literal);
      CColorPalette out;
      out.Create(n, 1, 2, 3);
      const CColorPalette colours = Palette(entries);
      processor.CompressPalette_MedhianCut(&out, &colours);
      const std::vector<Entry> got = Entries(out);
      ASSERT_EQ(got.size(), want.size());
      for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_TRUE((got[i] == Entry{want[i].r, want[i].g, want[i].b})) << n << " " << count << " " << i;
      }
    }
  }
}

TEST(KelvaneProcessor, CreateColorMemorySkipsBelowThreshold) {
  CDefaultColorProcessor processor;
  Kelvane::CDirectColorImage image;
  image.Create(3, 1, 0, 0, 0);
  image.SetValue(1, 1, 1, 0, 0);
  image.SetValue(2, 2, 2, 1, 0);
  image.SetValue(3, 3, 3, 2, 0);
  Kelvane::CAlphaImage alpha;
  alpha.Create(3, 1, 128);
  alpha.SetValue(127, 1, 0);
  CColorPalette out;
  out.Create(5, 9, 9, 9);
  EXPECT_TRUE(processor.CreateColorMemory(&out, &image, &alpha, 128));
  EXPECT_EQ(Entries(out), (std::vector<Entry>{{1, 1, 1}, {3, 3, 3}}));
  out.Create(3, 9, 9, 9);
  EXPECT_TRUE(processor.CreateColorMemory(&out, &image, nullptr, 200));
  EXPECT_EQ(out.GetNumber(), 3u);
}

TEST(KelvaneProcessor, FewColoursKeepTheirOrder) {
  CTexture texture;
  FillDirect(&texture, 3, 2, {kBlue, kRed, kBlue, {7, 7, 7}, kRed, kWhite});
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE4));
  ASSERT_EQ(texture.GetType(), CTexture::TYPE_PALETTE4);
  EXPECT_EQ(Entries(texture.GetColorPalette()), (std::vector<Entry>{kBlue, kRed, kBlack, kWhite}));
  EXPECT_EQ(Indices(texture), (std::vector<unsigned char>{0, 1, 0, 2, 1, 3}));
}

TEST(KelvaneProcessor, KeyColourTransparency) {
  CDefaultColorProcessor processor;
  Factor factor{};
  factor.useTransparency = true;
  factor.transparentRed = 255;
  factor.transparentBlue = 255;
  processor.SetConvertFactor(&factor);
  CTexture texture;
  texture.SetColorProcessor(&processor);
  // (254, 0, 255) reduces to the same 5-bit colour as the key but is not the key.
  FillDirect(&texture, 4, 1, {{255, 0, 255}, kRed, {254, 0, 255}, kGreen});
  texture.GetAlphaImage().SetValue(0, 1, 0);  // overwritten in key-colour mode
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_A3I5));
  ASSERT_EQ(texture.GetType(), CTexture::TYPE_A3I5);
  EXPECT_EQ(Entries(texture.GetColorPalette()),
            (std::vector<Entry>{{255, 0, 255}, kRed, {255, 0, 255}, kGreen}));
  EXPECT_EQ(Indices(texture), (std::vector<unsigned char>{0, 1, 2, 3}));
  const Kelvane::CData& alpha = texture.GetAlphaImage().GetAlphaChannel();
  EXPECT_EQ(std::vector<unsigned char>(alpha.GetpData(), alpha.GetpData() + 4),
            (std::vector<unsigned char>{0, 255, 255, 255}));

  // Without an alpha image of its own, the texture gets one.
  CTexture bare;
  bare.SetColorProcessor(&processor);
  FillDirect(&bare, 2, 1, {{255, 0, 255}, kRed});
  bare.GetAlphaImage().Clear();
  ASSERT_TRUE(bare.Convert(CTexture::TYPE_A5I3));
  ASSERT_EQ(bare.GetType(), CTexture::TYPE_A5I3);
  EXPECT_EQ(bare.GetAlphaImage().GetAlphaChannel()[0], 0);
  EXPECT_EQ(Indices(bare), (std::vector<unsigned char>{0, 1}));
}

TEST(KelvaneProcessor, FullPaletteLosesLastColourToTransparentEntry) {
  CDefaultColorProcessor processor;
  Factor factor{};
  factor.useTransparency = true;
  factor.transparentGreen = 255;
  processor.SetConvertFactor(&factor);
  CTexture texture;
  texture.SetColorProcessor(&processor);
  FillDirect(&texture, 4, 1, {kRed, kBlue, kWhite, {8, 8, 8}});
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE4));
  EXPECT_EQ(Entries(texture.GetColorPalette()), (std::vector<Entry>{kGreen, kRed, kBlue, kWhite}));
  // The dropped colour maps to its nearest remaining entry, never to entry 0.
  EXPECT_EQ(Indices(texture), (std::vector<unsigned char>{1, 2, 3, 2}));
}

TEST(KelvaneProcessor, AlphaImageTransparency) {
  CDefaultColorProcessor processor;
  Factor factor{};
  factor.useTransparency = true;
  factor.useAlphaImage = true;
  factor.transparentRed = 1;
  processor.SetConvertFactor(&factor);
  CTexture texture;
  texture.SetColorProcessor(&processor);
  FillDirect(&texture, 3, 1, {kRed, kBlue, kRed});
  texture.GetAlphaImage().SetValue(127, 1, 0);
  texture.GetAlphaImage().SetValue(128, 2, 0);
  CTexture opaque_copy(texture);
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_A3I5));
  EXPECT_EQ(Entries(texture.GetColorPalette()), (std::vector<Entry>{{1, 0, 0}, kRed}));
  EXPECT_EQ(Indices(texture), (std::vector<unsigned char>{1, 0, 1}));
  EXPECT_EQ(texture.GetAlphaImage().GetAlphaChannel()[1], 127);

  // With transparency off the alpha values do not matter.
  opaque_copy.SetColorProcessor(nullptr);
  ASSERT_TRUE(opaque_copy.Convert(CTexture::TYPE_PALETTE16));
  EXPECT_EQ(Entries(opaque_copy.GetColorPalette()), (std::vector<Entry>{kRed, kBlue}));
  EXPECT_EQ(Indices(opaque_copy), (std::vector<unsigned char>{0, 1, 0}));

  // A texture without an alpha image counts as opaque.
  CTexture bare;
  bare.SetColorProcessor(&processor);
  FillDirect(&bare, 2, 1, {kRed, kBlue});
  bare.GetAlphaImage().Clear();
  ASSERT_TRUE(bare.Convert(CTexture::TYPE_PALETTE4));
  ASSERT_EQ(bare.GetType(), CTexture::TYPE_PALETTE4);
  EXPECT_EQ(Indices(bare), (std::vector<unsigned char>{1, 2}));
}

TEST(KelvaneProcessor, FixedPalette) {
  CColorPalette fixed = Palette({kWhite, kRed, kGreen, kBlue, kBlack, {9, 9, 9}});
  CDefaultColorProcessor processor;
  Factor factor{};
  factor.pFixedPalette = &fixed;
  processor.SetConvertFactor(&factor);
  CTexture texture;
  texture.SetColorProcessor(&processor);
  FillDirect(&texture, 3, 1, {{250, 5, 5}, {1, 1, 1}, {4, 4, 250}});
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE4));
  ASSERT_EQ(texture.GetType(), CTexture::TYPE_PALETTE4);
  EXPECT_EQ(Entries(texture.GetColorPalette()), (std::vector<Entry>{kWhite, kRed, kGreen, kBlue}));
  EXPECT_EQ(Indices(texture), (std::vector<unsigned char>{1, 3, 3}));

  // Key-colour mode takes the key from entry 0 of the fixed palette.
  factor.useTransparency = true;
  processor.SetConvertFactor(&factor);
  CTexture keyed;
  keyed.SetColorProcessor(&processor);
  FillDirect(&keyed, 2, 1, {kWhite, {250, 250, 250}});
  ASSERT_TRUE(keyed.Convert(CTexture::TYPE_A5I3));
  ASSERT_EQ(keyed.GetType(), CTexture::TYPE_A5I3);
  EXPECT_EQ(Indices(keyed), (std::vector<unsigned char>{0, 0}));
  EXPECT_EQ(keyed.GetAlphaImage().GetAlphaChannel()[0], 0);
  EXPECT_EQ(keyed.GetAlphaImage().GetAlphaChannel()[1], 255);

  // An unavailable fixed palette: the conversion fails, in key-colour mode too,
  // and the texture stays as it was.
  for (bool key : {false, true}) {
    CColorPalette unavailable;
    factor.pFixedPalette = &unavailable;
    factor.useTransparency = key;
    processor.SetConvertFactor(&factor);
    EXPECT_FALSE(processor.ConvertToPaletteType(&texture));
    CTexture direct;
    direct.SetColorProcessor(&processor);
    FillDirect(&direct, 2, 1, {kWhite, kRed});
    direct.GetAlphaImage().SetValue(7, 0, 0);
    EXPECT_TRUE(direct.Convert(CTexture::TYPE_PALETTE16));
    EXPECT_EQ(direct.GetType(), CTexture::TYPE_DIRECT);
    EXPECT_EQ(direct.GetAlphaImage().GetAlphaChannel()[0], 7);
  }
}

// A host processor that overrides only the nearest-colour search.
class LastEntryProcessor : public CDefaultColorProcessor {
 public:
  int FindNearColor(const CColorPalette* palette, unsigned char, unsigned char, unsigned char,
                    short) override {
    ++calls;
    return static_cast<int>(palette->GetNumber()) - 1;
  }
  int calls = 0;
};

class FailingSearchProcessor : public CDefaultColorProcessor {
 public:
  int FindNearColor(const CColorPalette*, unsigned char, unsigned char, unsigned char, short) override {
    return -1;
  }
};

TEST(KelvaneProcessor, HostSearchOverrideChangesMapping) {
  LastEntryProcessor host;
  CTexture texture;
  texture.SetColorProcessor(&host);
  FillDirect(&texture, 3, 1, {kRed, kBlue, kWhite});
  ASSERT_TRUE(texture.Convert(CTexture::TYPE_PALETTE16));
  ASSERT_EQ(texture.GetType(), CTexture::TYPE_PALETTE16);
  EXPECT_EQ(Entries(texture.GetColorPalette()), (std::vector<Entry>{kRed, kBlue, kWhite}));
  EXPECT_EQ(Indices(texture), (std::vector<unsigned char>{2, 2, 2}));
  EXPECT_EQ(host.calls, 3);

  FailingSearchProcessor failing;
  CTexture other;
  other.SetColorProcessor(&failing);
  FillDirect(&other, 2, 1, {kRed, kBlue});
  EXPECT_TRUE(other.Convert(CTexture::TYPE_PALETTE4));
  EXPECT_EQ(other.GetType(), CTexture::TYPE_DIRECT);
}

// The default processor answers each distinct colour once; a derived processor
// that keeps the library's search is asked for every texel. Both must agree.
class InheritingProcessor : public CDefaultColorProcessor {};

TEST(KelvaneProcessor, CachedSearchMatchesPerTexelSearch) {
  std::mt19937 random(11);
  for (int round = 0; round < 12; ++round) {
    const unsigned short width = static_cast<unsigned short>(8 + random() % 60);
    const unsigned short height = static_cast<unsigned short>(1 + random() % 40);
    std::vector<Entry> texels(size_t{width} * height);
    for (Entry& e : texels) {
      const unsigned int spread = round % 2 == 0 ? 256 : 24;
      e = Entry{static_cast<unsigned char>(random() % spread), static_cast<unsigned char>(random() % spread),
                static_cast<unsigned char>(random() % spread)};
    }
    CDefaultColorProcessor fast;
    InheritingProcessor literal;
    Factor factor{};
    factor.useTransparency = round % 3 == 0;
    factor.transparentRed = texels[0].r;
    factor.transparentGreen = texels[0].g;
    factor.transparentBlue = texels[0].b;
    fast.SetConvertFactor(&factor);
    literal.SetConvertFactor(&factor);
    for (CTexture::tType type :
         {CTexture::TYPE_PALETTE4, CTexture::TYPE_PALETTE16, CTexture::TYPE_PALETTE256}) {
      CTexture a, b;
      a.SetColorProcessor(&fast);
      b.SetColorProcessor(&literal);
      FillDirect(&a, width, height, texels);
      FillDirect(&b, width, height, texels);
      ASSERT_TRUE(a.Convert(type));
      ASSERT_TRUE(b.Convert(type));
      ASSERT_EQ(a.GetType(), type);
      ASSERT_EQ(Entries(a.GetColorPalette()), Entries(b.GetColorPalette()));
      ASSERT_EQ(Indices(a), Indices(b));
    }
  }
}

// Every mode of the conversion (key colour, alpha image, fixed palette, none)
// against the literal steps, on random images with few colours (so many ties
// in the sorts and in the nearest-colour search) and many sizes.
TEST(KelvaneProcessor, ConversionMatchesLiteralInEveryMode) {
  std::mt19937 random(23);
  const CTexture::tType kTypes[] = {CTexture::TYPE_PALETTE4, CTexture::TYPE_A5I3, CTexture::TYPE_PALETTE16,
                                    CTexture::TYPE_A3I5, CTexture::TYPE_PALETTE256};
  const unsigned int kEntries[] = {4, 8, 16, 32, 256};
  for (int round = 0; round < 240; ++round) {
    const unsigned short width = static_cast<unsigned short>(1 + random() % 40);
    const unsigned short height = static_cast<unsigned short>(1 + random() % (round < 200 ? 12 : 70));
    const unsigned int levels = std::vector<unsigned int>{2, 3, 5, 17, 256}[random() % 5];
    auto value = [&] { return static_cast<unsigned char>(random() % levels * (255 / (levels - 1))); };
    std::vector<reference::Rgb> texels(size_t{width} * height);
    std::vector<unsigned char> alpha(texels.size());
    for (size_t i = 0; i < texels.size(); ++i) {
      texels[i] = reference::Rgb{value(), value(), value()};
      alpha[i] = std::vector<unsigned char>{0, 127, 128, 255}[random() % 4];
    }
    std::vector<reference::Rgb> fixed_entries(1 + random() % 40);
    for (auto& e : fixed_entries) e = reference::Rgb{value(), value(), value()};
    const int mode = round % 5;  // none, key, alpha image, fixed, fixed with key
    reference::Settings settings;
    settings.use_transparency = mode == 1 || mode == 2 || mode == 4;
    settings.use_alpha_image = mode == 2;
    settings.key = random() % 2 == 0 ? texels[random() % texels.size()] : reference::Rgb{value(), value(), 9};
    if (mode >= 3) settings.fixed = &fixed_entries;
    if (mode == 4 && random() % 2 == 0) fixed_entries[0] = texels[random() % texels.size()];

    CColorPalette fixed;
    fixed.Create(static_cast<unsigned int>(fixed_entries.size()), 0, 0, 0);
    for (unsigned int i = 0; i < fixed_entries.size(); ++i)
      fixed.SetValue(fixed_entries[i].r, fixed_entries[i].g, fixed_entries[i].b, i);
    Factor factor{};
    factor.useTransparency = settings.use_transparency;
    factor.useAlphaImage = settings.use_alpha_image;
    factor.transparentRed = settings.key.r;
    factor.transparentGreen = settings.key.g;
    factor.transparentBlue = settings.key.b;
    factor.pFixedPalette = settings.fixed != nullptr ? &fixed : nullptr;
    CDefaultColorProcessor processor;
    processor.SetConvertFactor(&factor);

    const size_t t = random() % 5;
    SCOPED_TRACE(testing::Message() << "round " << round << " mode " << mode << " type " << t << " size "
                                    << width << "x" << height);
    CTexture texture;
    texture.SetColorProcessor(&processor);
    texture.GetDirectColorImage().Create(width, height, 0, 0, 0);
    texture.GetAlphaImage().Create(width, height, 0);
    for (unsigned int i = 0; i < texels.size(); ++i) {
      const auto x = static_cast<unsigned short>(i % width), y = static_cast<unsigned short>(i / width);
      texture.GetDirectColorImage().SetValue(texels[i].r, texels[i].g, texels[i].b, x, y);
      texture.GetAlphaImage().SetValue(alpha[i], x, y);
    }
    texture.SetType(CTexture::TYPE_DIRECT);
    ASSERT_TRUE(texture.Convert(kTypes[t]));
    ASSERT_EQ(texture.GetType(), kTypes[t]);

    std::vector<reference::Rgb> want_palette;
    std::vector<unsigned char> want_indices;
    reference::Convert(texels, &alpha, kEntries[t], settings, &want_palette, &want_indices);
    const std::vector<Entry> got_palette = Entries(texture.GetColorPalette());
    ASSERT_EQ(got_palette.size(), want_palette.size());
    for (size_t i = 0; i < got_palette.size(); ++i) {
      ASSERT_TRUE((got_palette[i] == Entry{want_palette[i].r, want_palette[i].g, want_palette[i].b})) << i;
    }
    ASSERT_EQ(Indices(texture), want_indices);
    if (kTypes[t] == CTexture::TYPE_A5I3 || kTypes[t] == CTexture::TYPE_A3I5) {
      const Kelvane::CData& got_alpha = texture.GetAlphaImage().GetAlphaChannel();
      ASSERT_EQ(
          std::vector<unsigned char>(got_alpha.GetpData(), got_alpha.GetpData() + got_alpha.GetByteSize()),
          alpha);
    } else {
      EXPECT_FALSE(texture.GetAlphaImage().IsAvailable());
    }
  }
}

}  // namespace
