// CData and CByteData.
#include <gtest/gtest.h>

#include <cstring>

#include "kelvane/kelvane.h"

namespace {

using Kelvane::CByteData;
using Kelvane::CData;

TEST(KelvaneData, CreateClearAndEmptySize) {
  CData data;
  EXPECT_FALSE(data.IsAvailable());
  EXPECT_EQ(data.GetByteSize(), 0u);
  EXPECT_EQ(data.GetpData(), nullptr);
  data.Create(0, 9);
  EXPECT_TRUE(data.IsAvailable());
  EXPECT_EQ(data.GetByteSize(), 0u);
  data.Create(3, 9);
  EXPECT_EQ(data[2], 9);
  unsigned char out = 0;
  data.SetValue(4, 1);
  data.GetValue(&out, 1);
  EXPECT_EQ(out, 4);
  data.Clear();
  EXPECT_FALSE(data.IsAvailable());
  EXPECT_EQ(data.GetpData(), nullptr);
}

TEST(KelvaneData, ChangeNumberZeroesCutBytesAndKeepsFlag) {
  CData data;
  data.Create(4, 7);
  data.ChangeNumber(2);
  EXPECT_EQ(data.GetByteSize(), 2u);
  // The storage is kept; the cut bytes in it are zero.
  EXPECT_EQ(data.GetpData()[2], 0);
  EXPECT_EQ(data.GetpData()[3], 0);
  data.ChangeNumber(5);
  EXPECT_EQ(data.GetByteSize(), 5u);
  const unsigned char want[] = {7, 7, 0, 0, 0};
  EXPECT_EQ(std::memcmp(data.GetpData(), want, 5), 0);
  EXPECT_TRUE(data.IsAvailable());

  CData empty;
  empty.ChangeNumber(3);
  EXPECT_FALSE(empty.IsAvailable());
  EXPECT_EQ(empty.GetByteSize(), 3u);
  EXPECT_EQ(empty[2], 0);
}

TEST(KelvaneData, CopiesAreDeepAndEmptyAssignmentIsUnavailable) {
  CData source;
  source.Create(2, 5);
  CData copy(source);
  copy[0] = 1;
  EXPECT_EQ(source[0], 5);
  CData assigned;
  assigned.Create(9, 1);
  assigned = source;
  EXPECT_EQ(assigned.GetByteSize(), 2u);
  EXPECT_NE(assigned.GetpData(), source.GetpData());
  assigned = assigned;
  EXPECT_EQ(assigned[1], 5);

  CData empty_available;
  empty_available.Create(0, 0);
  CData target;
  target.Create(4, 4);
  target = empty_available;
  EXPECT_FALSE(target.IsAvailable());
  EXPECT_EQ(target.GetByteSize(), 0u);
  CData constructed(empty_available);
  EXPECT_TRUE(constructed.IsAvailable());
}

TEST(KelvaneByteData, CreateFillsByWidth) {
  CByteData data;
  EXPECT_FALSE(data.IsAvailable());
  data.Create(2, 3, 300);
  EXPECT_EQ(data.GetByteCount(), 2);
  EXPECT_EQ(data.GetNumber(), 3u);
  for (unsigned int i = 0; i < 3; ++i) {
    unsigned int v = 0;
    data.GetValue(&v, i);
    EXPECT_EQ(v, 300u);
  }
  data.Create(4, 2, 0);
  for (unsigned int i = 0; i < 8; ++i) EXPECT_EQ(data[i], 0);
  data.Create(1, 4, 511);
  for (unsigned int i = 0; i < 4; ++i) EXPECT_EQ(data[i], 255);
  data.Create(4, 2, 0x12345678);
  unsigned int v = 0;
  data.GetValue(&v, 1);
  EXPECT_EQ(v, 0x12345678u);
  // An unusual width with a non-zero fill gives zero bytes.
  data.Create(3, 2, 5);
  for (unsigned int i = 0; i < 6; ++i) EXPECT_EQ(data[i], 0);
  v = 77;
  data.GetValue(&v, 0);
  EXPECT_EQ(v, 77u);
}

TEST(KelvaneByteData, ValuesAreUnsignedAndTruncatedToWidth) {
  CByteData data;
  data.Create(2, 2, 0);
  data.SetValue(0x1FFFF, 1);
  unsigned int v = 0;
  data.GetValue(&v, 1);
  EXPECT_EQ(v, 65535u);
  data.GetValue(&v, 0);
  EXPECT_EQ(v, 0u);
  CByteData copy(data);
  CByteData assigned;
  assigned = data;
  data.SetValue(1, 1);
  copy.GetValue(&v, 1);
  EXPECT_EQ(v, 65535u);
  assigned.GetValue(&v, 1);
  EXPECT_EQ(v, 65535u);
  assigned.Clear();
  EXPECT_FALSE(assigned.IsAvailable());
  EXPECT_EQ(assigned.GetByteCount(), 0);
  EXPECT_EQ(assigned.GetNumber(), 0u);
}

// The member layouts that host programs compile against.
TEST(KelvaneData, RecordLayouts) {
  EXPECT_EQ(sizeof(CData), 3 * sizeof(void*));
  EXPECT_EQ(sizeof(CByteData), 4 * sizeof(void*));
  EXPECT_EQ(sizeof(Kelvane::CAlphaImage), 2 * sizeof(void*) + sizeof(CData));
  EXPECT_EQ(sizeof(Kelvane::CDirectColorImage), 2 * sizeof(void*) + 3 * sizeof(CData));
  EXPECT_EQ(sizeof(Kelvane::CColorPalette), 2 * sizeof(void*) + 3 * sizeof(CData));
  EXPECT_EQ(sizeof(tTLBRGB), 3u);
}

template <typename T, typename Object>
T ReadAt(const Object& object, size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const unsigned char*>(&object) + offset, sizeof value);
  return value;
}

TEST(KelvaneData, MemberOffsets) {
  CData data;
  data.Create(5, 1);
  EXPECT_EQ(ReadAt<bool>(data, 8), true);
  EXPECT_EQ(ReadAt<unsigned int>(data, 12), 5u);
  EXPECT_EQ(ReadAt<unsigned char*>(data, 16), data.GetpData());

  CByteData bytes;
  bytes.Create(2, 3, 0);
  EXPECT_EQ(ReadAt<bool>(bytes, 8), true);
  EXPECT_EQ(ReadAt<unsigned int>(bytes, 12), 6u);
  EXPECT_EQ(ReadAt<unsigned char>(bytes, 16), 2);
  EXPECT_EQ(ReadAt<unsigned int>(bytes, 20), 3u);
  EXPECT_EQ(ReadAt<unsigned char*>(bytes, 24), bytes.GetpData());

  Kelvane::CAlphaImage alpha;
  alpha.Create(3, 4, 0);
  EXPECT_EQ(ReadAt<unsigned short>(alpha, 10), 3);
  EXPECT_EQ(ReadAt<unsigned short>(alpha, 12), 4);
  EXPECT_EQ(ReadAt<unsigned char*>(alpha, 16 + 16), alpha.GetAlphaChannel().GetpData());

  Kelvane::CTexture texture;
  texture.SetType(Kelvane::CTexture::TYPE_A3I5);
  const size_t planes = sizeof(Kelvane::CColorIndexImage) + sizeof(Kelvane::CColorPalette) +
                        sizeof(Kelvane::CDirectColorImage) + sizeof(Kelvane::CAlphaImage) + sizeof(CData) +
                        sizeof(CByteData);
  EXPECT_EQ(ReadAt<unsigned int>(texture, sizeof(void*) + planes), 3u);
  EXPECT_EQ(ReadAt<Kelvane::CColorProcessor*>(texture, sizeof(void*) + planes + 8),
            texture.GetColorProcessor());
  EXPECT_EQ(sizeof(Kelvane::CTexture), sizeof(void*) + planes + 16);
}

}  // namespace
