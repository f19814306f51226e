// The refined colour processor: better palettes than the library's own on a
// real photograph, the same bytes on one thread and many, transparency as the
// library's own processor handles it, and dithering that smooths gradients
// without touching transparent texels; the colour histogram the palette is
// chosen from against a literal one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_image_loader.h"
#include "kelvane_refined_palette.h"

namespace {

using Kelvane::CColorPalette;
using Kelvane::CDefaultColorProcessor;
using Kelvane::CRefinedColorProcessor;
using Kelvane::CTexture;
using Factor = CDefaultColorProcessor::tConvertFactor;
using Refine = CRefinedColorProcessor::tRefineFactor;
using Bytes = std::vector<unsigned char>;

const CTexture::tType kPaletteTypes[] = {CTexture::TYPE_PALETTE4, CTexture::TYPE_A5I3, CTexture::TYPE_PALETTE16,
                                         CTexture::TYPE_A3I5, CTexture::TYPE_PALETTE256};

kelvane_example::Image Photo() {
  kelvane_example::Image image;
  EXPECT_EQ(kelvane_example::LoadImage(std::string(TEST_DATA_DIR) + "/photo-cat-64.ppm", &image),
            kelvane_example::LoadStatus::kOk);
  return image;
}

// Noise over smooth ramps: nearly every texel a colour of its own. The raw
// output of mt19937 is the same on every platform.
kelvane_example::Image Noise(unsigned int side) {
  std::mt19937 random(28);
  kelvane_example::Image image;
  image.width = image.height = side;
  for (unsigned int y = 0; y < side; ++y) {
    for (unsigned int x = 0; x < side; ++x) {
      const uint32_t bits = static_cast<uint32_t>(random());
      image.rgb.push_back(static_cast<unsigned char>((x + (bits & 63)) % 256));
      image.rgb.push_back(static_cast<unsigned char>((y + ((bits >> 8) & 63)) % 256));
      image.rgb.push_back(static_cast<unsigned char>(((x + y) / 2 + ((bits >> 16) & 63)) % 256));
    }
  }
  return image;
}

// The planes a conversion leaves, compared whole.
struct Result {
  unsigned int type = 0;
  Bytes palette, indices, alpha;
  bool operator==(const Result&) const = default;
};

Bytes Channel(const Kelvane::CData& data) { return Bytes(data.GetpData(), data.GetpData() + data.GetByteSize()); }

Result Convert(const kelvane_example::Image& image, CTexture::tType type, Kelvane::CColorProcessor* processor) {
  CTexture texture;
  texture.SetColorProcessor(processor);
  kelvane_example::FillTexture(image, &texture);
  texture.Convert(type);
  Result result;
  result.type = texture.GetType();
  const CColorPalette& palette = texture.GetColorPalette();
  for (unsigned int i = 0; i < palette.GetNumber(); ++i) {
    unsigned char rgb[3];
    palette.GetValue(&rgb[0], &rgb[1], &rgb[2], i);
    result.palette.insert(result.palette.end(), rgb, rgb + 3);
  }
  result.indices = Channel(texture.GetColorIndexImage().GetColorIndexData());
  result.alpha = Channel(texture.GetAlphaImage().GetAlphaChannel());
  return result;
}

CRefinedColorProcessor Refined(const Factor& factor, unsigned int dither = 0, unsigned int threads = 0,
                               CRefinedColorProcessor::tQuality quality = CRefinedColorProcessor::QUALITY_REFINED) {
  CRefinedColorProcessor processor;
  processor.SetConvertFactor(&factor);
  Refine refine{};
  refine.quality = quality;
  refine.ditherStrength = dither;
  refine.threads = threads;
  processor.SetRefineFactor(refine);
  return processor;
}

double Psnr(const kelvane_example::Image& image, const Result& result) {
  double squared = 0;
  for (size_t i = 0; i < result.indices.size(); ++i) {
    for (int c = 0; c < 3; ++c) {
      const double d = static_cast<double>(image.rgb[3 * i + c]) - result.palette[3 * size_t{result.indices[i]} + c];
      squared += d * d;
    }
  }
  return 10 * std::log10(255.0 * 255.0 * 3 * static_cast<double>(result.indices.size()) / squared);
}

uint32_t Distance(const unsigned char* a, const unsigned char* b) {
  const int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
  return static_cast<uint32_t>(3 * dr * dr + 4 * dg * dg + 2 * db * db);
}

TEST(KelvaneRefined, BeatsTheReferenceOnAPhotoWithGridColoursAndNearestTexels) {
  const kelvane_example::Image photo = Photo();
  const struct {
    CTexture::tType type;
    unsigned int entries;
    double gain;  // at least, in dB
  } kCases[] = {{CTexture::TYPE_PALETTE4, 4, 1.0}, {CTexture::TYPE_PALETTE16, 16, 2.0},
                {CTexture::TYPE_PALETTE256, 256, 2.0}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.entries);
    CDefaultColorProcessor reference;
    CRefinedColorProcessor refined;
    const Result want = Convert(photo, c.type, &reference);
    const Result got = Convert(photo, c.type, &refined);
    ASSERT_EQ(got.type, c.type);
    EXPECT_GT(Psnr(photo, got), Psnr(photo, want) + c.gain) << Psnr(photo, got) << " " << Psnr(photo, want);

    const size_t entries = got.palette.size() / 3;
    EXPECT_EQ(entries, c.entries);
    for (size_t e = 0; e < entries; ++e) {
      for (int k = 0; k < 3; ++k) {
        const unsigned char v = got.palette[3 * e + k];
        EXPECT_EQ(v, (v & 0xF8) | (v >> 5)) << e;
      }
      for (size_t f = 0; f < e; ++f) EXPECT_NE(Bytes(&got.palette[3 * e], &got.palette[3 * e + 3]),
                                               Bytes(&got.palette[3 * f], &got.palette[3 * f + 3]));
    }
    // Every texel at the smallest distance, the lowest entry on a tie.
    for (size_t i = 0; i < got.indices.size(); ++i) {
      size_t best = 0;
      for (size_t e = 1; e < entries; ++e) {
        if (Distance(&photo.rgb[3 * i], &got.palette[3 * e]) < Distance(&photo.rgb[3 * i], &got.palette[3 * best]))
          best = e;
      }
      ASSERT_EQ(got.indices[i], best) << i;
    }
  }
}

// FNV-1a of a result's palette and indices.
uint32_t Hash(const Result& result) {
  uint32_t hash = 2166136261u;
  for (const Bytes* bytes : {&result.palette, &result.indices}) {
    for (unsigned char b : *bytes) hash = (hash ^ b) * 16777619u;
  }
  return hash;
}

TEST(KelvaneRefined, SameBytesOnOneThreadAndMany) {
  const kelvane_example::Image noise = Noise(128);
  CRefinedColorProcessor one = Refined(Factor{}, 0, 1);
  const Result want = Convert(noise, CTexture::TYPE_PALETTE256, &one);
  ASSERT_EQ(want.type, CTexture::TYPE_PALETTE256);
  ASSERT_EQ(want.palette.size(), 3u * 256);
  for (const unsigned int threads : {3u, 0u, 1u}) {
    CRefinedColorProcessor many = Refined(Factor{}, 0, threads);
    EXPECT_EQ(Convert(noise, CTexture::TYPE_PALETTE256, &many), want) << threads;
  }
  // The same bytes on every machine, dithered or not.
  EXPECT_EQ(Hash(want), 561861413u);
  CRefinedColorProcessor dithered = Refined(Factor{}, 100);
  EXPECT_EQ(Hash(Convert(noise, CTexture::TYPE_PALETTE256, &dithered)), 702696732u);
}

TEST(KelvaneRefined, ReferenceQualityIsTheLibrarysOwnProcessor) {
  const kelvane_example::Image photo = Photo();
  CColorPalette fixed;
  fixed.Create(3, 255, 0, 255);
  fixed.SetValue(10, 200, 30, 1);
  fixed.SetValue(240, 240, 240, 2);
  Factor key{};
  key.useTransparency = true;
  key.transparentRed = photo.rgb[0], key.transparentGreen = photo.rgb[1], key.transparentBlue = photo.rgb[2];
  Factor alpha = key;
  alpha.useAlphaImage = true;
  Factor with_fixed{};
  with_fixed.pFixedPalette = &fixed;
  kelvane_example::Image faded = photo;
  for (size_t i = 0; i < size_t{photo.width} * photo.height; ++i) {
    faded.alpha.push_back(static_cast<unsigned char>(i));
  }
  for (const Factor& factor : {Factor{}, key, alpha, with_fixed}) {
    for (const CTexture::tType type : kPaletteTypes) {
      SCOPED_TRACE(testing::Message() << type << (factor.useAlphaImage ? " alpha" : "")
                                      << (factor.pFixedPalette ? " fixed" : ""));
      CDefaultColorProcessor own;
      own.SetConvertFactor(&factor);
      CRefinedColorProcessor same = Refined(factor, 0, 0, CRefinedColorProcessor::QUALITY_REFERENCE);
      const Result want = Convert(faded, type, &own);
      EXPECT_EQ(Convert(faded, type, &same), want);
      // Dithering keeps the palette and the transparent texels.
      CRefinedColorProcessor dithered = Refined(factor, 100, 0, CRefinedColorProcessor::QUALITY_REFERENCE);
      const Result got = Convert(faded, type, &dithered);
      EXPECT_EQ(got.palette, want.palette);
      EXPECT_EQ(got.alpha, want.alpha);
      if (factor.useTransparency) {
        for (size_t i = 0; i < got.indices.size(); ++i) ASSERT_EQ(got.indices[i] == 0, want.indices[i] == 0) << i;
      }
    }
  }
  // 4x4 blocks are the library's own, with either quality.
  CDefaultColorProcessor own;
  CRefinedColorProcessor refined;
  EXPECT_EQ(Convert(photo, CTexture::TYPE_TEX4X4, &refined), Convert(photo, CTexture::TYPE_TEX4X4, &own));
}

TEST(KelvaneRefined, TransparencyAsTheLibrarysOwnProcessor) {
  kelvane_example::Image photo = Photo();
  const unsigned char kKey[3] = {255, 0, 255};
  // A key-coloured square, and alpha falling from left to right.
  for (unsigned int y = 10; y < 30; ++y) {
    for (unsigned int x = 20; x < 40; ++x) std::copy(kKey, kKey + 3, &photo.rgb[3 * (size_t{y} * photo.width + x)]);
  }
  for (unsigned int i = 0; i < photo.width * photo.height; ++i) {
    photo.alpha.push_back(static_cast<unsigned char>(255 - 4 * (i % photo.width)));
  }
  Factor key{};
  key.useTransparency = true;
  key.transparentRed = kKey[0], key.transparentGreen = kKey[1], key.transparentBlue = kKey[2];
  Factor alpha = key;
  alpha.useAlphaImage = true;
  for (const Factor& factor : {key, alpha}) {
    for (const CTexture::tType type : kPaletteTypes) {
      for (const unsigned int dither : {0u, 100u}) {
        SCOPED_TRACE(testing::Message() << type << (factor.useAlphaImage ? " alpha " : " key ") << dither);
        CDefaultColorProcessor own;
        own.SetConvertFactor(&factor);
        const Result want = Convert(photo, type, &own);
        CRefinedColorProcessor refined = Refined(factor, dither);
        const Result got = Convert(photo, type, &refined);
        ASSERT_EQ(got.type, type);
        // The alpha image the library's processor leaves (kept or cleared,
        // key texels marked), entry 0 the key colour, transparent texels
        // index 0 and no other texel.
        EXPECT_EQ(got.alpha, want.alpha);
        EXPECT_EQ(Bytes(got.palette.begin(), got.palette.begin() + 3), Bytes(kKey, kKey + 3));
        EXPECT_LE(got.palette.size(), 3 * size_t{type == CTexture::TYPE_PALETTE256 ? 256u : 4u << type});
        const Bytes& alphas = factor.useAlphaImage ? photo.alpha : want.alpha;
        for (size_t i = 0; i < got.indices.size(); ++i) {
          const bool transparent = factor.useAlphaImage ? alphas[i] < 128 : want.indices[i] == 0;
          ASSERT_EQ(got.indices[i] == 0, transparent) << i;
        }
      }
    }
  }
}

TEST(KelvaneRefined, DitheringSmoothsGradientsAndLeavesTransparentTexelsAlone) {
  // A grey ramp in four colours: bands without dithering; with it, the mean
  // of every 8x8 window between the darkest and the brightest entry stays
  // near the ramp's.
  kelvane_example::Image ramp;
  ramp.width = 256, ramp.height = 32;
  for (unsigned int y = 0; y < ramp.height; ++y) {
    for (unsigned int x = 0; x < ramp.width; ++x) {
      ramp.rgb.insert(ramp.rgb.end(), 3, static_cast<unsigned char>(x));
      ramp.alpha.push_back(x % 64 < 8 ? 0 : 255);
    }
  }
  auto window_error = [&](const Result& r) {
    const unsigned int darkest = *std::min_element(r.palette.begin(), r.palette.end());
    const unsigned int brightest = *std::max_element(r.palette.begin(), r.palette.end());
    double total = 0;
    unsigned int windows = 0;
    for (unsigned int y0 = 0; y0 < ramp.height; y0 += 8) {
      for (unsigned int x0 = (darkest + 7) / 8 * 8; x0 + 8 <= brightest; x0 += 8, ++windows) {
        double want = 0, got = 0;
        for (unsigned int y = y0; y < y0 + 8; ++y) {
          for (unsigned int x = x0; x < x0 + 8; ++x) {
            const size_t i = size_t{y} * ramp.width + x;
            want += ramp.rgb[3 * i];
            got += r.palette[3 * size_t{r.indices[i]}];
          }
        }
        total += std::abs(want - got) / 64;
      }
    }
    return total / windows;
  };
  for (const auto quality : {CRefinedColorProcessor::QUALITY_REFINED, CRefinedColorProcessor::QUALITY_REFERENCE}) {
    SCOPED_TRACE(quality);
    CRefinedColorProcessor plain = Refined(Factor{}, 0, 0, quality);
    CRefinedColorProcessor dithered = Refined(Factor{}, 100, 0, quality);
    const double banded = window_error(Convert(ramp, CTexture::TYPE_PALETTE4, &plain));
    const double smooth = window_error(Convert(ramp, CTexture::TYPE_PALETTE4, &dithered));
    EXPECT_LT(smooth * 3, banded) << smooth << " " << banded;
  }

  // Transparent texels neither take error nor pass it on: what colour they
  // have changes no other texel.
  Factor alpha{};
  alpha.useTransparency = true;
  alpha.useAlphaImage = true;
  kelvane_example::Image other = ramp;
  std::mt19937 random(5);
  for (size_t i = 0; i < other.alpha.size(); ++i) {
    if (other.alpha[i] == 0) other.rgb[3 * i] = static_cast<unsigned char>(random());
  }
  for (const auto quality : {CRefinedColorProcessor::QUALITY_REFINED, CRefinedColorProcessor::QUALITY_REFERENCE}) {
    SCOPED_TRACE(quality);
    CRefinedColorProcessor dithered = Refined(alpha, 100, 0, quality);
    const Result a = Convert(ramp, CTexture::TYPE_PALETTE16, &dithered);
    const Result b = Convert(other, CTexture::TYPE_PALETTE16, &dithered);
    EXPECT_EQ(a.palette, b.palette);
    EXPECT_EQ(a.indices, b.indices);
    for (size_t i = 0; i < a.indices.size(); ++i) ASSERT_EQ(a.indices[i] == 0, ramp.alpha[i] == 0) << i;
  }
}

TEST(KelvaneRefined, SettingsAndAHostsOwnSearch) {
  CRefinedColorProcessor processor;
  const Refine zero = processor.GetRefineFactor();
  EXPECT_EQ(zero.quality, CRefinedColorProcessor::QUALITY_REFINED);
  EXPECT_EQ(zero.ditherStrength + zero.threads, 0u);
  EXPECT_FALSE(processor.GetConvertFactor().useTransparency);
  Factor factor{};
  factor.useTransparency = true;
  factor.transparentGreen = 9;
  CRefinedColorProcessor set = Refined(factor, 40, 2, CRefinedColorProcessor::QUALITY_REFERENCE);
  CRefinedColorProcessor copy(set);
  processor = set;
  for (const CRefinedColorProcessor* p : {&set, &copy, &processor}) {
    EXPECT_EQ(p->GetConvertFactor().transparentGreen, 9);
    EXPECT_EQ(p->GetRefineFactor().quality, CRefinedColorProcessor::QUALITY_REFERENCE);
    EXPECT_EQ(p->GetRefineFactor().ditherStrength, 40u);
    EXPECT_EQ(p->GetRefineFactor().threads, 2u);
  }

  // A host's class: its search maps every opaque texel, and its -1 fails the
  // conversion, as with the library's own processor.
  class Counting : public CRefinedColorProcessor {
   public:
    int FindNearColor(const CColorPalette* palette, unsigned char r, unsigned char g, unsigned char b,
                      short excluded) override {
      ++calls;
      return fail ? -1 : CRefinedColorProcessor::FindNearColor(palette, r, g, b, excluded);
    }
    unsigned int calls = 0;
    bool fail = false;
  };
  const kelvane_example::Image photo = Photo();
  for (const unsigned int dither : {0u, 60u}) {
    Counting host;
    Refine refine{};
    refine.ditherStrength = dither;
    host.SetRefineFactor(refine);
    CRefinedColorProcessor own = Refined(Factor{}, dither);
    EXPECT_EQ(Convert(photo, CTexture::TYPE_PALETTE16, &host), Convert(photo, CTexture::TYPE_PALETTE16, &own));
    // With dithering, for the texel's colour and the colour it is moved to.
    EXPECT_EQ(host.calls, (dither == 0 ? 1 : 2) * photo.width * photo.height);
    host.fail = true;
    EXPECT_EQ(Convert(photo, CTexture::TYPE_PALETTE16, &host).type, CTexture::TYPE_DIRECT);
  }
}

// The histogram sorts few colours instead of filling a table of every cell;
// both must give the literal table's cells, in cell order. Random colour
// lists on both sides of the switch, spread over every cell or crowded into
// a few.
TEST(KelvaneRefined, ColourHistogramMatchesLiteralTable) {
  using Kelvane::internal::HistogramCell;
  std::mt19937 random(26);
  for (const unsigned int n : {1u, 2u, 7u, 300u, 5000u, 32767u, 32768u, 40000u}) {
    for (const uint32_t mask : {0xFFFFFFu, 0x1F3F07u}) {
      CColorPalette colours;
      colours.Create(n, 0, 0, 0);
      std::vector<HistogramCell> table(1u << 18);
      for (unsigned int i = 0; i < n; ++i) {
        const uint32_t v = random() & mask;
        const unsigned char r = v >> 16 & 0xFF, g = v >> 8 & 0xFF, b = v & 0xFF;
        colours.SetValue(r, g, b, i);
        HistogramCell& cell = table[(r >> 2) << 12 | (g >> 2) << 6 | b >> 2];
        ++cell.count;
        cell.sum[0] += r;
        cell.sum[1] += g;
        cell.sum[2] += b;
      }
      std::vector<HistogramCell> want;
      for (uint32_t k = 0; k < table.size(); ++k) {
        if (table[k].count == 0) continue;
        table[k].cell = k;
        want.push_back(table[k]);
      }
      const std::vector<HistogramCell> got = Kelvane::internal::ColourHistogram(colours);
      ASSERT_EQ(got.size(), want.size()) << n << " colours";
      for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_TRUE(got[i].cell == want[i].cell && got[i].count == want[i].count && got[i].sum[0] == want[i].sum[0] &&
                    got[i].sum[1] == want[i].sum[1] && got[i].sum[2] == want[i].sum[2])
            << n << " colours, cell " << i;
      }
    }
  }
}

}  // namespace
