// The 4x4 mode arithmetic shared by the encoder and the decoder.
#include <gtest/gtest.h>

#include "kelvane_tex4x4_mode.h"

namespace {

using namespace Kelvane::internal;

TEST(KelvaneTex4x4Mode, ModesRunsAndEntries) {
  // colours chosen -> mode: fewer than 3 interpolate, transparency clears bit 1.
  EXPECT_EQ(Tex4x4Mode(0, true), 1);
  EXPECT_EQ(Tex4x4Mode(2, true), 1);
  EXPECT_EQ(Tex4x4Mode(3, true), 0);
  EXPECT_EQ(Tex4x4Mode(1, false), 3);
  EXPECT_EQ(Tex4x4Mode(4, false), 2);
  const unsigned int runs[4] = {4, 2, 4, 2}, copied[4] = {3, 2, 4, 2}, decoded[4] = {3, 3, 4, 4};
  for (unsigned char mode = 0; mode < 4; ++mode) {
    EXPECT_EQ(Tex4x4RunLength(mode), runs[mode]);
    EXPECT_EQ(Tex4x4CopiedEntries(mode), copied[mode]);
    EXPECT_EQ(Tex4x4DecodedEntries(mode), decoded[mode]);
  }
  EXPECT_EQ(Tex4x4CopiedEntries(4), 0u);
  tTLBRGB list[4] = {};
  EXPECT_FALSE(Tex4x4Interpolate(4, list));
}

TEST(KelvaneTex4x4Mode, InterpolationRoundsDown) {
  tTLBRGB list[4] = {{255, 0, 9}, {0, 255, 2}, {1, 2, 3}, {4, 5, 6}};
  EXPECT_EQ(Tex4x4ExpandTwo(list, false), 4u);  // mode 3: 5:3 and 3:5 mixes
  EXPECT_EQ(list[2].red, 159);    // (5 * 255) >> 3
  EXPECT_EQ(list[2].green, 95);   // (3 * 255) >> 3
  EXPECT_EQ(list[2].blue, 6);     // (45 + 6) >> 3
  EXPECT_EQ(list[3].red, 95);
  EXPECT_EQ(list[3].green, 159);
  EXPECT_EQ(list[3].blue, 4);     // (27 + 10) >> 3

  tTLBRGB half[4] = {{255, 0, 9}, {0, 255, 2}, {1, 2, 3}, {4, 5, 6}};
  EXPECT_EQ(Tex4x4ExpandTwo(half, true), 3u);  // mode 1: the average
  EXPECT_EQ(half[2].red, 127);
  EXPECT_EQ(half[2].green, 127);
  EXPECT_EQ(half[2].blue, 5);
  EXPECT_EQ(half[3].red, 4);  // the transparent entry is left alone
}

}  // namespace
