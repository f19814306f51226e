// Block colour selection: the direct answer for few colours, HiLow and
// RoundRobin, against the literal reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_palette_util.h"
#include "kelvane_tex4x4_reference.h"

namespace {

using Kelvane::CAlphaImage;
using Kelvane::CColorPalette;
using Kelvane::CDefaultColorProcessor;
using Kelvane::CDirectColorImage;
using kelvane_test::Entries;
using kelvane_test::Entry;
using kelvane_test::Palette;
using reference::Rgb;
using Algorithm = CDefaultColorProcessor::tAlgorithm;

std::vector<Entry> FromRgb(const std::vector<Rgb>& colours) {
  std::vector<Entry> out;
  for (const Rgb& c : colours) out.push_back({c.r, c.g, c.b});
  return out;
}

CDirectColorImage BlockImage(const std::vector<Entry>& texels) {
  CDirectColorImage block;
  block.Create(4, 4, 0, 0, 0);
  for (unsigned short i = 0; i < 16; ++i) block.SetValue(texels[i].r, texels[i].g, texels[i].b, i % 4, i / 4);
  return block;
}

CAlphaImage BlockAlpha(const std::vector<unsigned char>& alpha) {
  CAlphaImage block;
  block.Create(4, 4, 255);
  for (unsigned short i = 0; i < 16; ++i) block.SetValue(alpha[i], i % 4, i / 4);
  return block;
}

// Colours with luminance keys 0, 15, 30, ... (grey g has key g - 1 for g > 0).
std::vector<Entry> Greys(unsigned int n) {
  std::vector<Entry> out;
  for (unsigned int i = 0; i < n; ++i) {
    const auto g = static_cast<unsigned char>(255 - 16 * i);
    out.push_back({g, g, g});
  }
  return out;
}

TEST(KelvaneTex4x4Colors, FewDistinctColoursKeepTheirOwn) {
  CDefaultColorProcessor processor;
  const Entry dark{8, 8, 8}, light{200, 200, 200};
  std::vector<Entry> two(16, dark);
  two[5] = light;
  for (unsigned int a = 0; a <= 4; ++a) {
    CColorPalette out;
    out.Create(4, 0, 0, 0);
    const CDirectColorImage one_image = BlockImage(std::vector<Entry>(16, light));
    ASSERT_TRUE(processor.Get4Color_Tex4x4(&out, false, &one_image, nullptr, static_cast<Algorithm>(a)));
    EXPECT_EQ(Entries(out), (std::vector<Entry>{{206, 206, 206}}));  // 5-bit value of 200
    const CDirectColorImage two_image = BlockImage(two);
    ASSERT_TRUE(processor.Get4Color_Tex4x4(&out, true, &two_image, nullptr, static_cast<Algorithm>(a)));
    EXPECT_EQ(Entries(out), (std::vector<Entry>{{206, 206, 206}, dark})) << a;
  }
  // Only texels whose block alpha reaches 128 count: none leaves no colour.
  CColorPalette out;
  out.Create(4, 0, 0, 0);
  const CDirectColorImage image = BlockImage(two);
  const CAlphaImage clear = BlockAlpha(std::vector<unsigned char>(16, 127));
  ASSERT_TRUE(processor.Get4Color_Tex4x4(&out, true, &image, &clear, CDefaultColorProcessor::ALGORITHM_HILOW));
  EXPECT_EQ(out.GetNumber(), 0u);

  // Four distinct colours of a transparent block keep three: brightest,
  // darkest, second brightest; opaque adds the third brightest.
  const CColorPalette four = Palette({Greys(4)[2], Greys(4)[0], Greys(4)[3], Greys(4)[1]});
  ASSERT_TRUE(processor.SetPalette_Tex4x4(&out, &four, true));
  EXPECT_EQ(Entries(out), (std::vector<Entry>{Greys(4)[0], Greys(4)[3], Greys(4)[1]}));
  ASSERT_TRUE(processor.SetPalette_Tex4x4(&out, &four, false));
  EXPECT_EQ(Entries(out), (std::vector<Entry>{Greys(4)[0], Greys(4)[3], Greys(4)[1], Greys(4)[2]}));
  const CColorPalette five = Palette(Greys(5));
  ASSERT_TRUE(processor.SetPalette_Tex4x4(&out, &five, false));
  EXPECT_EQ(out.GetNumber(), 4u);  // more than four: untouched
}

TEST(KelvaneTex4x4Colors, HiLowAndRoundRobinExamples) {
  CDefaultColorProcessor processor;
  CColorPalette out;
  out.Create(4, 0, 0, 0);
  std::vector<Entry> sixteen = Greys(16);
  const std::vector<Entry> sorted = sixteen;
  std::swap(sixteen[0], sixteen[9]);  // the order given does not matter
  const CColorPalette many = Palette(sixteen);
  ASSERT_TRUE(processor.Get4ColorHiLow_Tex4x4(&out, &many, false, false));
  EXPECT_EQ(Entries(out), (std::vector<Entry>{sorted[0], sorted[15], sorted[5], sorted[10]}));
  const CColorPalette thirteen = Palette(Greys(13));
  ASSERT_TRUE(processor.Get4ColorHiLow_Tex4x4(&out, &thirteen, true, false));
  EXPECT_EQ(Entries(out), (std::vector<Entry>{Greys(13)[0], Greys(13)[12], Greys(13)[6]}));
  ASSERT_TRUE(processor.Get4ColorHiLow_Tex4x4(&out, &thirteen, true, true));
  EXPECT_EQ(Entries(out), (std::vector<Entry>{Greys(13)[0], Greys(13)[12]}));

  // Exactly four distinct colours (repeated): cost 0, ordered brightest,
  // darkest, second and third brightest.
  const std::vector<Entry> g = Greys(4);
  std::vector<Entry> repeated;
  for (int i = 0; i < 4; ++i) repeated.insert(repeated.end(), {g[2], g[1], g[3], g[0]});
  const CColorPalette four = Palette(repeated);
  ASSERT_TRUE(processor.Get4ColorRoundRobin_Tex4x4(&out, &four, false, false));
  EXPECT_EQ(Entries(out), (std::vector<Entry>{g[0], g[3], g[1], g[2]}));
  ASSERT_TRUE(processor.Get4ColorRoundRobin_Tex4x4(&out, &four, true, true));
  EXPECT_EQ(out.GetNumber(), 2u);

  CColorPalette linear = Palette({{255, 0, 9}, {0, 255, 2}});
  processor.ConvertLinearColorPalette_Tex4x4(&linear, true);
  EXPECT_EQ(Entries(linear), (std::vector<Entry>{{255, 0, 9}, {0, 255, 2}, {127, 127, 5}}));
}

// Lists drawn from few channel levels, so that colours and luminance keys
// repeat often. Extreme lists open with a few dark colours followed by light
// ones, so that the first candidates' costs pass 2^32.
std::vector<Rgb> RandomList(std::mt19937& random, unsigned int n, bool extreme) {
  static const unsigned char kLevels[] = {0, 8, 9, 99, 100, 255};
  std::vector<Rgb> out;
  for (unsigned int i = 0; i < n; ++i) {
    if (extreme) {
      const auto v = static_cast<unsigned char>(random() % 2 * 8);
      out.push_back(i < 4 ? Rgb{v, 0, 0} : Rgb{255, static_cast<unsigned char>(255 - v), 255});
      continue;
    }
    auto level = [&] { return kLevels[random() % 6]; };
    out.push_back({level(), level(), level()});
  }
  return out;
}

TEST(KelvaneTex4x4Colors, MatchLiteralOnRandomLists) {
  std::mt19937 random(11);
  CDefaultColorProcessor processor;
  bool wrapped = false;
  for (int round = 0; round < 300; ++round) {
    // Up to 16 colours as a block gives; longer, high-contrast lists from a
    // host make RoundRobin's 32-bit sums wrap.
    const bool extreme = round % 5 == 4;
    const unsigned int n = extreme ? 17 + random() % 8 : 3 + random() % 14;
    const std::vector<Rgb> list = RandomList(random, n, extreme);
    const CColorPalette colours = Palette(FromRgb(list));
    for (int mode = 0; mode < 4; ++mode) {
      const bool transparent = mode & 1, two = mode & 2;
      CColorPalette out;
      out.Create(4, 0, 0, 0);
      ASSERT_TRUE(processor.Get4ColorHiLow_Tex4x4(&out, &colours, transparent, two));
      ASSERT_EQ(Entries(out), FromRgb(reference::tex4x4::HiLow(list, transparent, two))) << round;
      if (n < (two ? 2u : transparent ? 3u : 4u)) continue;  // too few to choose from
      ASSERT_TRUE(processor.Get4ColorRoundRobin_Tex4x4(&out, &colours, transparent, two));
      ASSERT_EQ(Entries(out), FromRgb(reference::tex4x4::RoundRobin(list, transparent, two))) << round;
    }
    if (extreme) {
      // The first four-colour candidate's true cost exceeds 2^32.
      uint64_t sum = 0;
      for (const Rgb& c : list) {
        uint32_t d = 0xFFFFFFFFu;
        for (int e = 0; e < 4; ++e) d = std::min(d, reference::Distance(c, list[e]));
        sum += d;
      }
      wrapped = wrapped || sum > 0xFFFFFFFFull;
    }
  }
  EXPECT_TRUE(wrapped);

  // Whole blocks through Get4Color_Tex4x4, with random block alpha.
  for (int round = 0; round < 400; ++round) {
    std::vector<Rgb> texels = RandomList(random, 16, false);
    for (Rgb& t : texels) t.r = static_cast<unsigned char>(t.r + random() % 3);  // 5-bit reduction matters
    std::vector<unsigned char> alpha(16, 255);
    if (round % 3 == 0) {
      for (unsigned char& a : alpha) a = static_cast<unsigned char>(random() % 4 == 0 ? 127 : 128 + random() % 2);
    }
    const bool transparent = round % 2 == 0;
    const auto algorithm = static_cast<unsigned int>(round % 6);  // 4 and 5 act as 3
    const CDirectColorImage image = BlockImage(FromRgb(texels));
    const CAlphaImage block_alpha = BlockAlpha(alpha);
    CColorPalette out;
    out.Create(4, 0, 0, 0);
    ASSERT_TRUE(processor.Get4Color_Tex4x4(&out, transparent, &image, &block_alpha,
                                           static_cast<Algorithm>(algorithm)));
    ASSERT_EQ(Entries(out), FromRgb(reference::tex4x4::Get4Color(texels, alpha, transparent, algorithm)))
        << round;
  }
}

// The true (unwrapped) cost of choosing `chosen` from `list`.
uint64_t TrueCost(const std::vector<Rgb>& list, const std::vector<Rgb>& chosen) {
  uint64_t sum = 0;
  for (const Rgb& c : list) {
    uint32_t d = 0xFFFFFFFFu;
    for (const Rgb& e : chosen) d = std::min(d, reference::Distance(c, e));
    sum += d;
  }
  return sum;
}

// Channels at 0 or 255, a quarter of them up to 8 inward, and a third of the
// colours repeating an earlier one.
std::vector<Rgb> ExtremeList(std::mt19937& random, unsigned int n) {
  std::vector<Rgb> out;
  auto channel = [&] {
    const unsigned int inward = random() % 4 == 0 ? random() % 9 : 0;
    return static_cast<unsigned char>(random() % 2 == 0 ? inward : 255 - inward);
  };
  for (unsigned int i = 0; i < n; ++i) {
    if (i > 0 && random() % 3 == 0) {
      out.push_back(out[random() % i]);
      continue;
    }
    const unsigned char r = channel(), g = channel(), b = channel();
    out.push_back({r, g, b});
  }
  return out;
}

// Long lists whose costs pass 2^32: the wrapped sum decides, so a candidate
// whose true cost is far above every other one can still be chosen. The search
// may not rule a partial choice out by a bound there.
TEST(KelvaneTex4x4Colors, RoundRobinFollowsWrappedCosts) {
  CDefaultColorProcessor processor;
  auto round_robin = [&](const std::vector<Rgb>& list, bool transparent) {
    const CColorPalette colours = Palette(FromRgb(list));
    CColorPalette out;
    out.Create(4, 0, 0, 0);
    EXPECT_TRUE(processor.Get4ColorRoundRobin_Tex4x4(&out, &colours, transparent, false));
    return Entries(out);
  };
  auto repeat = [](std::vector<Rgb>* list, Rgb c, unsigned int count) { list->insert(list->end(), count, c); };
  const Rgb black{0, 0, 0}, white{255, 255, 255}, red{255, 0, 0}, green{0, 255, 0}, grey{128, 128, 128};

  // Transparent: 9 black, 7 red, 1 green and 3 white. Black, red and white
  // cost 66390525 (green to white); three whites cost 4340613825, which wraps
  // to 45646529 and wins. Black and red after the whites keep the bound of a
  // partial choice of whites at 66390525, below 2^32.
  std::vector<Rgb> list = {green};
  repeat(&list, black, 5);
  repeat(&list, red, 4);
  repeat(&list, white, 3);
  repeat(&list, black, 4);
  repeat(&list, red, 3);
  EXPECT_EQ(TrueCost(list, {white}), 0x100000000ull + 45646529);
  EXPECT_EQ(round_robin(list, true), FromRgb({white, white, white}));
  EXPECT_EQ(round_robin(list, true), FromRgb(reference::tex4x4::RoundRobin(list, true, false)));

  // Opaque: 7 black, 9 red, 1 green, 1 grey and 4 white. The best honest
  // choice costs 66390525; four whites cost 4296181583, wrapping to 1214287.
  // A partial choice of whites is bounded by green and grey: 139003283.
  list = {green, grey};
  repeat(&list, black, 6);
  repeat(&list, red, 8);
  repeat(&list, white, 4);
  list.insert(list.end(), {black, red});
  EXPECT_EQ(TrueCost(list, {white}), 0x100000000ull + 1214287);
  EXPECT_EQ(round_robin(list, false), FromRgb({white, white, white, white}));
  EXPECT_EQ(round_robin(list, false), FromRgb(reference::tex4x4::RoundRobin(list, false, false)));

  // Random lists of 17 to 32 colours (opaque) and 17 to 64 (transparent).
  std::mt19937 random(36);
  for (int round = 0; round < 10; ++round) {
    for (const bool transparent : {false, true}) {
      const unsigned int n = 17 + random() % (transparent ? 48 : 16);
      list = ExtremeList(random, n);
      ASSERT_EQ(round_robin(list, transparent), FromRgb(reference::tex4x4::RoundRobin(list, transparent, false)))
          << round << " " << transparent;
    }
  }
}

}  // namespace
