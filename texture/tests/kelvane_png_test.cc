// PNG reading and writing of the example's image loader, on files written by
// libpng here in every colour type, and a photograph through kelvane_convert.
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <string>
#include <vector>

#include "kelvane_image_loader.h"
#include "testing/run_program.h"

namespace {

using kelvane_example::Image;
using kelvane_example::LoadStatus;
using testing_support::RunProgram;
using testing_support::TempDir;

void Append(png_structp png, png_bytep data, size_t length) {
  static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png))->insert(
      static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png))->end(), data, data + length);
}
void NoFlush(png_structp) {}

// Writes rows of raw samples in the given colour type and depth; a palette
// (RGB triples) and tRNS entries when given.
std::vector<uint8_t> MakePng(unsigned w, unsigned h, int colour, int depth, const std::vector<uint8_t>& samples,
                             const std::vector<png_color>& palette = {}, const std::vector<uint8_t>& trns = {},
                             bool interlace = false) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng write failed";
    return {};
  }
  png_set_write_fn(png, &out, Append, NoFlush);
  png_set_IHDR(png, info, w, h, depth, colour, interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!trns.empty()) png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
  png_write_info(png, info);
  const size_t stride = png_get_rowbytes(png, info);
  std::vector<png_bytep> rows(h);
  for (unsigned y = 0; y < h; ++y) rows[y] = const_cast<png_bytep>(samples.data()) + y * stride;
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> Pattern(size_t n, unsigned seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 37 + seed * 11 + (i >> 5)) & 0xFF);
  return v;
}

TEST(KelvanePng, ReadsRgbAndRgbaOfOddSizes) {
  for (unsigned w : {1u, 3u, 7u}) {
    for (unsigned h : {1u, 5u}) {
      for (bool interlace : {false, true}) {
        const auto rgb = Pattern(size_t{w} * h * 3, w + h);
        Image image;
        ASSERT_EQ(kelvane_example::DecodePng(MakePng(w, h, PNG_COLOR_TYPE_RGB, 8, rgb, {}, {}, interlace), &image),
                  LoadStatus::kOk);
        EXPECT_EQ(image.width, w);
        EXPECT_EQ(image.height, h);
        EXPECT_EQ(image.rgb, rgb);
        EXPECT_TRUE(image.alpha.empty());

        const auto rgba = Pattern(size_t{w} * h * 4, w * h);
        ASSERT_EQ(kelvane_example::DecodePng(MakePng(w, h, PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba, {}, {}, interlace),
                                             &image),
                  LoadStatus::kOk);
        ASSERT_EQ(image.alpha.size(), size_t{w} * h);
        for (size_t i = 0; i < size_t{w} * h; ++i) {
          EXPECT_EQ(image.rgb[3 * i], rgba[4 * i]);
          EXPECT_EQ(image.rgb[3 * i + 2], rgba[4 * i + 2]);
          EXPECT_EQ(image.alpha[i], rgba[4 * i + 3]);
        }
      }
    }
  }
}

TEST(KelvanePng, ExpandsPaletteGreyAndSixteenBits) {
  Image image;
  // 3x1 palette image at 2 bits, entry 1 half transparent through tRNS.
  const std::vector<png_color> palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  ASSERT_EQ(kelvane_example::DecodePng(MakePng(3, 1, PNG_COLOR_TYPE_PALETTE, 2, {0x18}, palette, {255, 128}),
                                       &image),
            LoadStatus::kOk);
  EXPECT_EQ(image.rgb, (std::vector<uint8_t>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
  EXPECT_EQ(image.alpha, (std::vector<uint8_t>{255, 128, 255}));
  // 1-bit grey, 4 pixels 1010.
  ASSERT_EQ(kelvane_example::DecodePng(MakePng(4, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA0}), &image), LoadStatus::kOk);
  EXPECT_EQ(image.rgb, (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 255, 255, 255, 0, 0, 0}));
  EXPECT_TRUE(image.alpha.empty());
  // 16-bit grey with alpha keeps the high bytes.
  ASSERT_EQ(kelvane_example::DecodePng(MakePng(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0x12, 0x34, 0x56, 0x78}),
                                       &image),
            LoadStatus::kOk);
  EXPECT_EQ(image.rgb, (std::vector<uint8_t>{0x12, 0x12, 0x12}));
  EXPECT_EQ(image.alpha, (std::vector<uint8_t>{0x56}));
}

TEST(KelvanePng, RefusesDamagedFilesAndRoundTripsItsOwn) {
  const auto good = MakePng(5, 3, PNG_COLOR_TYPE_RGB_ALPHA, 8, Pattern(60, 1));
  Image image;
  for (size_t cut : {size_t{8}, size_t{20}, good.size() / 2, good.size() - 13}) {
    EXPECT_EQ(kelvane_example::DecodePng(std::vector<uint8_t>(good.begin(), good.begin() + cut), &image),
              LoadStatus::kNotAnImage)
        << cut;
  }
  auto corrupt = good;
  corrupt[40] ^= 0x55;
  EXPECT_EQ(kelvane_example::DecodePng(corrupt, &image), LoadStatus::kNotAnImage);
  ASSERT_EQ(kelvane_example::DecodePng(good, &image), LoadStatus::kOk);
  std::string encoded;
  ASSERT_TRUE(kelvane_example::EncodePng(image, &encoded));
  Image again;
  ASSERT_EQ(kelvane_example::DecodePng(std::vector<uint8_t>(encoded.begin(), encoded.end()), &again),
            LoadStatus::kOk);
  EXPECT_EQ(again.rgb, image.rgb);
  EXPECT_EQ(again.alpha, image.alpha);
}

TEST(KelvanePng, AlphaFeedsTheTextureAndPhotoConvertsToPngPreview) {
  // 2x1 RGBA: the second texel transparent; a3i5 keeps alpha, the preview
  // shows it magenta.
  TempDir dir;
  const auto two = MakePng(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {100, 100, 100, 255, 10, 20, 30, 0});
  dir.Write("two.png", std::string(two.begin(), two.end()));
  auto result = RunProgram(KELVANE_CONVERT_PATH, {"two.png", "a3i5", "preview.png"}, dir.path());
  ASSERT_EQ(result.status, 0) << result.err;
  Image preview;
  ASSERT_EQ(kelvane_example::LoadImage(dir.path() + "/preview.png", &preview), LoadStatus::kOk);
  EXPECT_EQ(preview.rgb, (std::vector<uint8_t>{99, 99, 99, 255, 0, 255}));

  // The photograph, converted to PNG here, gives the same preview as its PPM.
  Image photo;
  ASSERT_EQ(kelvane_example::LoadImage(std::string(TEST_DATA_DIR) + "/photo-cat-64.ppm", &photo), LoadStatus::kOk);
  std::string png;
  ASSERT_TRUE(kelvane_example::EncodePng(photo, &png));
  dir.Write("cat.png", png);
  result = RunProgram(KELVANE_CONVERT_PATH, {"cat.png", "palette256", "cat-preview.png"}, dir.path());
  ASSERT_EQ(result.status, 0) << result.err;
  result = RunProgram(KELVANE_CONVERT_PATH, {std::string(TEST_DATA_DIR) + "/photo-cat-64.ppm", "palette256",
                                             "cat-preview.ppm"},
                      dir.path());
  ASSERT_EQ(result.status, 0) << result.err;
  Image from_png, from_ppm;
  ASSERT_EQ(kelvane_example::LoadImage(dir.path() + "/cat-preview.png", &from_png), LoadStatus::kOk);
  ASSERT_EQ(kelvane_example::LoadImage(dir.path() + "/cat-preview.ppm", &from_ppm), LoadStatus::kOk);
  EXPECT_EQ(from_png.rgb, from_ppm.rgb);
  EXPECT_EQ(from_png.width, 64u);

  // The preview's extension counts in any case.
  result = RunProgram(KELVANE_CONVERT_PATH, {"--quiet", "two.png", "a3i5", "UPPER.PNG"}, dir.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(dir.Read("UPPER.PNG").substr(0, 8), "\x89PNG\r\n\x1a\n");
}

}  // namespace
