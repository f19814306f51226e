// The example's binary PPM reader: the format's own rules, and the reason
// for every image it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kelvane_image_loader.h"

namespace {

using kelvane_example::DecodePpm;
using kelvane_example::Image;
using kelvane_example::LoadStatus;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(KelvanePpm, ReadsWhatTheFormatAllows) {
  const struct {
    const char* what;
    std::string file;
    std::vector<unsigned char> rgb;
  } kCases[] = {
      {"plain header", std::string("P6\n1 1\n255\n\x01\x02\x03", 14), {1, 2, 3}},
      {"any white space", std::string("P6\r1\t1\v255\f\x01\x02\x03", 14), {1, 2, 3}},
      {"comments, one ending the maximum value", std::string("P6 #a\n1#b\r1\n#c\n255#d\n\x01\x02\x03", 24),
       {1, 2, 3}},
      // CR LF after the maximum value: both bytes end it when the data is
      // otherwise one byte too long, else the LF is the first sample.
      {"CR LF line ends", std::string("P6\r\n1 1\r\n255\r\n\x0A\x14\x1E", 17), {10, 20, 30}},
      {"CR alone before an LF sample", std::string("P6\r\n1 1\r\n255\r\n\x14\x1E", 16), {10, 20, 30}},
      {"bytes after the samples", std::string("P6\n1 1\n255\n\x01\x02\x03P6\n", 17), {1, 2, 3}},
      // Other maximum values scale to 8 bits, rounding to nearest; above 255
      // each sample is two bytes, the more significant first.
      {"maximum value 15", std::string("P6\n1 1\n15\n\x0F\x08\x00", 13), {255, 136, 0}},
      {"maximum value 65535", std::string("P6\n1 1\n65535\n\xFF\xFF\x80\x00\x00\x80", 19), {255, 128, 0}},
      {"maximum value 1000", std::string("P6\n1 1\n1000\n\x03\xE8\x01\xF4\x00\x01", 18), {255, 128, 0}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Image image;
    std::string why;
    ASSERT_EQ(DecodePpm(Bytes(c.file), &image, &why), LoadStatus::kOk) << why;
    EXPECT_EQ(image.width, 1u);
    EXPECT_EQ(image.height, 1u);
    EXPECT_EQ(image.rgb, c.rgb);
    EXPECT_TRUE(image.alpha.empty());
  }
}

TEST(KelvanePpm, SaysWhyItRefusesAnImage) {
  const struct {
    std::string file;
    LoadStatus status;
    const char* why;
  } kCases[] = {
      {"", LoadStatus::kNotAnImage, "it is neither a binary PPM (P6) nor a PNG image"},
      {"GIF89a", LoadStatus::kNotAnImage, "it is neither a binary PPM (P6) nor a PNG image"},
      {"P3\n1 1\n255\n0 0 0\n", LoadStatus::kNotAnImage, "plain (P3) PPM is not supported, only binary PPM (P6)"},
      {"P5\n1 1\n255\n\x01", LoadStatus::kNotAnImage, "P5 is not supported, only binary PPM (P6)"},
      {"P6\n# only a comment\n", LoadStatus::kNotAnImage, "the header ends before the width"},
      {"P6\nx 1 255\n", LoadStatus::kNotAnImage, "the width is not a decimal number"},
      {"P6\n1x1 255\n", LoadStatus::kNotAnImage, "the width is not followed by white space"},
      {"P6\n0 1\n255\n", LoadStatus::kNotAnImage, "width 0 is out of range (1 to 65535)"},
      {"P6\n65536 1\n255\n", LoadStatus::kTooLarge, "width 65536 is out of range (1 to 65535)"},
      {"P6\n1 12345678901234\n255\n", LoadStatus::kTooLarge, "height 123456789012... is out of range (1 to 65535)"},
      {"P6\n1 1\n0\n", LoadStatus::kNotAnImage, "maximum value 0 is out of range (1 to 65535)"},
      {"P6\n1 1\n65536\n", LoadStatus::kNotAnImage, "maximum value 65536 is out of range (1 to 65535)"},
      {"P6\n1 1\n255", LoadStatus::kNotAnImage, "the header ends after the maximum value"},
      {"P6\n1 1\n255# to the end", LoadStatus::kNotAnImage, "the header ends after the maximum value"},
      {"P6\n2 1\n255\nabcd", LoadStatus::kNotAnImage, "image data ends after 4 of 6 bytes"},
      {"P6\n1 1\n65535\nabcde", LoadStatus::kNotAnImage, "image data ends after 5 of 6 bytes"},
      {std::string("P6\n1 1\n100\n\x65\x00\x00", 14), LoadStatus::kNotAnImage,
       "sample value 101 is above the maximum value 100"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    Image image;
    image.width = 7;
    std::string why;
    EXPECT_EQ(DecodePpm(Bytes(c.file), &image, &why), c.status);
    EXPECT_EQ(why, c.why);
    EXPECT_EQ(image.width, 7u) << "a refused image changes nothing";
  }
}

}  // namespace
