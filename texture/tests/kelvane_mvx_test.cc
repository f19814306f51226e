// The texture data writer: sizes, the data format of every type, and the
// written bytes against a literal step-by-step writer on random textures.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_mvx_reference.h"

namespace {

using Kelvane::CMvx;
using Kelvane::CTexture;
using Bytes = std::vector<unsigned char>;

using reference::Data;
using reference::LiteralWrite;
constexpr auto WriteAll = reference::LibraryWrite;

unsigned int Word16(const Bytes& bytes, size_t word) { return bytes[2 * word] | (bytes[2 * word + 1] << 8u); }
uint32_t Word32(const Bytes& bytes, size_t word) {
  return Word16(bytes, 2 * word) | (Word16(bytes, 2 * word + 1) << 16);
}

// A texture of the given type with random planes, filled by hand.
CTexture RandomTexture(std::mt19937& random, CTexture::tType type, unsigned short w, unsigned short h,
                       bool with_alpha) {
  const unsigned int entries[] = {4, 8, 16, 32, 256};
  CTexture t;
  auto byte = [&] { return static_cast<unsigned char>(random()); };
  if (type == CTexture::TYPE_DIRECT) {
    t.GetDirectColorImage().Create(w, h, 0, 0, 0);
    for (unsigned short y = 0; y < h; ++y)
      for (unsigned short x = 0; x < w; ++x) t.GetDirectColorImage().SetValue(byte(), byte(), byte(), x, y);
  } else {
    const unsigned int colours =
        type == CTexture::TYPE_TEX4X4 ? 2 + random() % 300 : 1 + random() % entries[type];
    t.GetColorPalette().Create(colours, 0, 0, 0);
    for (unsigned int i = 0; i < colours; ++i) t.GetColorPalette().SetValue(byte(), byte(), byte(), i);
    t.GetColorIndexImage().Create(w, h);
    const unsigned int limit = type == CTexture::TYPE_TEX4X4 ? 4 : colours;
    for (unsigned short y = 0; y < h; ++y)
      for (unsigned short x = 0; x < w; ++x)
        t.GetColorIndexImage().SetValue(static_cast<unsigned char>(random() % limit), x, y);
  }
  if (type == CTexture::TYPE_TEX4X4) {
    const unsigned int blocks = w * h / 16u;
    t.GetColorPaletteAttribute().Create(blocks, 0);
    t.GetColorPaletteAddress().Create(2, blocks, 0);
    for (unsigned int k = 0; k < blocks; ++k) {
      t.GetColorPaletteAttribute()[k] = static_cast<unsigned char>(random() % 4);
      t.GetColorPaletteAddress().SetValue(random() % 0x4000, k);
    }
  }
  if (with_alpha) {
    t.GetAlphaImage().Create(w, h, 0);
    for (unsigned short y = 0; y < h; ++y)
      for (unsigned short x = 0; x < w; ++x)
        t.GetAlphaImage().SetValue(random() % 3 == 0 ? static_cast<unsigned char>(random() % 2) : byte(), x,
                                   y);
  }
  t.SetType(type);
  return t;
}

TEST(KelvaneMvx, MatchesLiteralWriterOnRandomTextures) {
  std::mt19937 random(61);
  for (int round = 0; round < 420; ++round) {
    const auto type = static_cast<CTexture::tType>(round % 7);
    const bool blocks = type == CTexture::TYPE_TEX4X4;
    const auto w = static_cast<unsigned short>(blocks ? 4 * (1 + random() % 12) : 1 + random() % 45);
    const auto h = static_cast<unsigned short>(blocks ? 4 * (1 + random() % 12) : 1 + random() % 45);
    const bool with_alpha = random() % 3 != 0;
    const bool near_size = round % 2 == 1;
    SCOPED_TRACE(testing::Message() << "type " << type << " " << w << "x" << h << " alpha " << with_alpha
                                    << " near " << near_size);
    CTexture texture = RandomTexture(random, type, w, h, with_alpha);
    CTexture expected_texture(texture);
    if (near_size) {
      CMvx writer;
      ASSERT_TRUE(expected_texture.AlignmentImageSize(static_cast<unsigned short>(writer.GetNearMVXSize(w)),
                                                      static_cast<unsigned short>(writer.GetNearMVXSize(h))));
    }
    Data got;
    ASSERT_TRUE(WriteAll(&texture, near_size, &got));
    const Data want = LiteralWrite(expected_texture);
    ASSERT_EQ(texture.GetWidth(), expected_texture.GetWidth());
    ASSERT_EQ(got.texel, want.texel);
    ASSERT_EQ(got.palette, want.palette);
    ASSERT_EQ(got.index, want.index);
  }
}

TEST(KelvaneMvx, NearSizes) {
  CMvx writer;
  EXPECT_EQ(writer.GetNearMVXSize(1), 8);
  EXPECT_EQ(writer.GetNearMVXSize(8), 8);
  EXPECT_EQ(writer.GetNearMVXSize(9), 16);
  EXPECT_EQ(writer.GetNearMVXSize(1000), 1024);
  EXPECT_EQ(writer.GetNearMVXSize(1024), 1024);
  EXPECT_EQ(writer.GetNearMVXSize(1025), -1);
  EXPECT_EQ(writer.GetNearMVXSize(0), -1);

  // 100 x 60 grows to 128 x 64 in place, and the sizes follow.
  std::mt19937 random(3);
  CTexture texture = RandomTexture(random, CTexture::TYPE_PALETTE256, 100, 60, false);
  unsigned int texel = 0, palette = 0, index = 0;
  ASSERT_TRUE(writer.GetDataByteSize(&texel, &palette, &index, &texture, true));
  EXPECT_EQ(texel, 128u * 64u);
  EXPECT_EQ(texture.GetWidth(), 100);  // asking does not grow
  Data data;
  ASSERT_TRUE(WriteAll(&texture, true, &data));
  EXPECT_EQ(texture.GetWidth(), 128);
  EXPECT_EQ(texture.GetHeight(), 64);

  CTexture empty;
  empty.SetType(CTexture::TYPE_PALETTE4);
  EXPECT_FALSE(writer.GetDataByteSize(&texel, &palette, &index, &empty, true));
  EXPECT_FALSE(WriteAll(&empty, true, &data));
  CTexture wide = RandomTexture(random, CTexture::TYPE_PALETTE4, 1025, 1, false);
  EXPECT_FALSE(writer.GetDataByteSize(&texel, &palette, &index, &wide, true));
}

TEST(KelvaneMvx, PaletteTexelPlacement) {
  std::mt19937 random(5);
  // 16 x 16 PALETTE16 with 16 colours: 128 texel bytes, 32 palette bytes.
  CTexture p16 = RandomTexture(random, CTexture::TYPE_PALETTE16, 16, 16, false);
  p16.GetColorPalette().Create(16, 0, 0, 0);
  p16.GetColorIndexImage().GetColorIndexData().Create(256, 0);
  p16.GetColorIndexImage().SetValue(9, 1, 0);
  Data data;
  ASSERT_TRUE(WriteAll(&p16, false, &data));
  EXPECT_EQ(data.texel.size(), 128u);
  EXPECT_EQ(data.palette.size(), 32u);
  EXPECT_EQ(Word16(data.texel, 0), 0x0090u);

  // 12 wide PALETTE4: row 1 follows row 0 directly; texel 12 is bits 8-9 of word 1.
  CTexture p4 = RandomTexture(random, CTexture::TYPE_PALETTE4, 12, 2, false);
  p4.GetColorIndexImage().GetColorIndexData().Create(24, 0);
  p4.GetColorIndexImage().SetValue(3, 0, 1);
  ASSERT_TRUE(WriteAll(&p4, false, &data));
  ASSERT_EQ(data.texel.size(), 6u);
  EXPECT_EQ(Word16(data.texel, 1), 0x0300u);

  // Alpha in the high bits: index 5, alpha 200.
  for (auto [type, want] : {std::pair{CTexture::TYPE_A3I5, 0xC5}, std::pair{CTexture::TYPE_A5I3, 0xCD}}) {
    CTexture t = RandomTexture(random, type, 1, 1, true);
    t.GetColorPalette().Create(8, 0, 0, 0);
    t.GetColorIndexImage().SetValue(5, 0, 0);
    t.GetAlphaImage().SetValue(200, 0, 0);
    ASSERT_TRUE(WriteAll(&t, false, &data));
    EXPECT_EQ(data.texel, Bytes{static_cast<unsigned char>(want)});
  }
}

TEST(KelvaneMvx, ColourWords) {
  CTexture direct;
  direct.GetDirectColorImage().Create(2, 1, 255, 0, 0);
  direct.GetAlphaImage().Create(2, 1, 1);
  direct.GetAlphaImage().SetValue(0, 1, 0);
  direct.SetType(CTexture::TYPE_DIRECT);
  Data data;
  ASSERT_TRUE(WriteAll(&direct, false, &data));
  EXPECT_EQ(Word16(data.texel, 0), 0x801Fu);
  EXPECT_EQ(Word16(data.texel, 1), 0x001Fu);
  EXPECT_TRUE(data.palette.empty());
  // Without an alpha image every texel is opaque.
  direct.GetAlphaImage().Clear();
  ASSERT_TRUE(WriteAll(&direct, false, &data));
  EXPECT_EQ(Word16(data.texel, 1), 0x801Fu);

  // Palette entries never carry bit 15; channels keep their high 5 bits.
  CTexture indexed;
  indexed.GetColorIndexImage().Create(1, 1);
  indexed.GetColorPalette().Create(2, 255, 255, 255);
  indexed.GetColorPalette().SetValue(8, 16, 7, 1);
  indexed.SetType(CTexture::TYPE_PALETTE256);
  ASSERT_TRUE(WriteAll(&indexed, false, &data));
  EXPECT_EQ(data.palette, (Bytes{0xFF, 0x7F, 0x41, 0x00}));
}

// A 4 x 4 TEX4X4 texture of one block, filled by hand.
CTexture OneBlock(unsigned char mode, unsigned int address, unsigned char index) {
  CTexture t;
  t.GetColorIndexImage().Create(4, 4);
  t.GetColorIndexImage().GetColorIndexData().Create(16, index);
  t.GetColorPalette().Create(4, 0, 0, 0);
  t.GetColorPaletteAttribute().Create(1, mode);
  t.GetColorPaletteAddress().Create(2, 1, address);
  t.SetType(CTexture::TYPE_TEX4X4);
  return t;
}

TEST(KelvaneMvx, Tex4x4Words) {
  Data data;
  CTexture ones = OneBlock(3, 5, 1);
  ASSERT_TRUE(WriteAll(&ones, false, &data));
  EXPECT_EQ(Word32(data.texel, 0), 0x55555555u);
  EXPECT_EQ(data.index, (Bytes{0x05, 0xC0}));
  EXPECT_EQ(data.palette.size(), 8u);

  CTexture corner = OneBlock(0, 0, 0);
  corner.GetColorIndexImage().SetValue(3, 3, 3);
  ASSERT_TRUE(WriteAll(&corner, false, &data));
  EXPECT_EQ(Word32(data.texel, 0), 0xC0000000u);

  // Every buffer is required; a null one is refused, not written through.
  unsigned char texel[4], palette[8];
  CMvx::tMemory memory{texel, 4, palette, 8, nullptr, 2};
  EXPECT_FALSE(CMvx().Write(&memory, &corner, false));
  // A block that is all transparent has no palette: no buffer is needed for it.
  CTexture clear = OneBlock(0, 0, 3);
  clear.GetColorPalette().Create(0, 0, 0, 0);
  unsigned int texel_bytes = 0, palette_bytes = 0, index_bytes = 0;
  ASSERT_TRUE(CMvx().GetDataByteSize(&texel_bytes, &palette_bytes, &index_bytes, &clear, false));
  EXPECT_EQ(palette_bytes, 0u);
  unsigned char index[2];
  memory = CMvx::tMemory{texel, 4, nullptr, 0, index, 2};
  ASSERT_TRUE(CMvx().Write(&memory, &clear, false));
  EXPECT_EQ(Word32(Bytes(texel, texel + 4), 0), 0xFFFFFFFFu);
  // Sides that are not whole blocks cannot be placed.
  std::mt19937 random(1);
  CTexture odd = RandomTexture(random, CTexture::TYPE_PALETTE4, 6, 6, false);
  odd.SetType(CTexture::TYPE_TEX4X4);
  EXPECT_FALSE(WriteAll(&odd, false, &data));
}

TEST(KelvaneMvx, PackedSizesRoundUpAndBuffersAreRespected) {
  std::mt19937 random(9);
  CMvx writer;
  unsigned int texel = 0, palette = 0, index = 0;
  // 9 PALETTE4 texels need two words, 5 PALETTE16 texels two words too.
  CTexture p4 = RandomTexture(random, CTexture::TYPE_PALETTE4, 3, 3, false);
  ASSERT_TRUE(writer.GetDataByteSize(&texel, &palette, &index, &p4, false));
  EXPECT_EQ(texel, 4u);
  CTexture p16 = RandomTexture(random, CTexture::TYPE_PALETTE16, 5, 1, false);
  ASSERT_TRUE(writer.GetDataByteSize(&texel, &palette, &index, &p16, false));
  EXPECT_EQ(texel, 4u);

  // Exactly sized buffers: nothing is written past them.
  p4.GetColorIndexImage().GetColorIndexData().Create(9, 3);
  Bytes guarded(4 + 4, 0xEE), palette_bytes(2 * p4.GetColorPalette().GetNumber() + 4, 0xEE);
  CMvx::tMemory memory{
      guarded.data(), 4, palette_bytes.data(), static_cast<unsigned int>(palette_bytes.size() - 4),
      nullptr,        0};
  ASSERT_TRUE(writer.Write(&memory, &p4, false));
  EXPECT_EQ(guarded, (Bytes{0xFF, 0xFF, 0x03, 0x00, 0xEE, 0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(Bytes(palette_bytes.end() - 4, palette_bytes.end()), Bytes(4, 0xEE));

  // A buffer smaller than the data is refused; a missing palette buffer fails
  // after the texels are written.
  memory.texelDataSize = 3;
  EXPECT_FALSE(writer.Write(&memory, &p4, false));
  memory = CMvx::tMemory{guarded.data(), 4, nullptr, 0, nullptr, 0};
  EXPECT_FALSE(writer.Write(&memory, &p4, false));
  EXPECT_EQ(guarded[0], 0xFF);

  // No type: zeroed and refused.
  CTexture none = RandomTexture(random, CTexture::TYPE_PALETTE4, 3, 3, false);
  none.SetType(CTexture::TYPE_NONE);
  ASSERT_TRUE(writer.GetDataByteSize(&texel, &palette, &index, &none, false));
  EXPECT_EQ(texel, 0u);
  memory = CMvx::tMemory{guarded.data(), 8, nullptr, 0, nullptr, 0};
  EXPECT_FALSE(writer.Write(&memory, &none, false));
  EXPECT_EQ(guarded, Bytes(8, 0));
}

}  // namespace
