// Binary PPM reading and writing for the texture examples (PNG: kelvane_png.cc,
// or kelvane_png_absent.cc in a build without libpng).
#include "kelvane_image_loader.h"

#include <cstddef>
#include <cstring>

#include "support/file_io.h"

namespace kelvane_example {

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Skips white space and comments, then reads a decimal number of at most
// nine digits.
bool ReadNumber(const std::vector<uint8_t>& bytes, size_t* at, unsigned long* value) {
  while (*at < bytes.size()) {
    if (bytes[*at] == '#') {
      while (*at < bytes.size() && bytes[*at] != '\n') ++*at;
    } else if (IsSpace(bytes[*at])) {
      ++*at;
    } else {
      break;
    }
  }
  unsigned long v = 0;
  size_t digits = 0;
  while (*at < bytes.size() && bytes[*at] >= '0' && bytes[*at] <= '9') {
    if (++digits > 9) return false;
    v = v * 10 + (bytes[*at] - '0');
    ++*at;
  }
  *value = v;
  return digits > 0;
}

}  // namespace

LoadStatus DecodePpm(const std::vector<uint8_t>& bytes, Image* image) {
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') return LoadStatus::kNotAnImage;
  size_t at = 2;
  unsigned long width = 0, height = 0, maxval = 0;
  if (!ReadNumber(bytes, &at, &width) || !ReadNumber(bytes, &at, &height) ||
      !ReadNumber(bytes, &at, &maxval) || maxval != 255 || at >= bytes.size() || !IsSpace(bytes[at]) ||
      width == 0 || height == 0) {
    return LoadStatus::kNotAnImage;
  }
  ++at;  // the single white-space byte after the maxval
  if (width > kLargestSide || height > kLargestSide) return LoadStatus::kTooLarge;
  const size_t size = size_t{width} * height * 3;
  if (bytes.size() - at < size) return LoadStatus::kNotAnImage;
  image->width = static_cast<unsigned int>(width);
  image->height = static_cast<unsigned int>(height);
  image->rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
  image->alpha.clear();
  return LoadStatus::kOk;
}

LoadStatus LoadImage(const std::string& path, Image* image) {
  std::vector<uint8_t> bytes;
  if (support::ReadWholeFile(path, &bytes) != support::ReadStatus::kOk) return LoadStatus::kCannotRead;
  return IsPng(bytes) ? DecodePng(bytes, image) : DecodePpm(bytes, image);
}

std::string EncodePpm(const Image& image) {
  std::string bytes = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  bytes.append(image.rgb.begin(), image.rgb.end());
  return bytes;
}

void FillTexture(const Image& image, Kelvane::CTexture* texture) {
  const auto width = static_cast<unsigned short>(image.width);
  const auto height = static_cast<unsigned short>(image.height);
  Kelvane::CDirectColorImage& direct = texture->GetDirectColorImage();
  direct.Create(width, height, 0, 0, 0);
  unsigned char* reds = direct.GetRedChannel().GetpData();
  unsigned char* greens = direct.GetGreenChannel().GetpData();
  unsigned char* blues = direct.GetBlueChannel().GetpData();
  const size_t texels = size_t{width} * height;
  for (size_t i = 0; i < texels; ++i) {
    reds[i] = image.rgb[3 * i];
    greens[i] = image.rgb[3 * i + 1];
    blues[i] = image.rgb[3 * i + 2];
  }
  Kelvane::CAlphaImage& alpha = texture->GetAlphaImage();
  alpha.Create(width, height, 255);
  if (image.alpha.size() == texels) std::memcpy(alpha.GetAlphaChannel().GetpData(), image.alpha.data(), texels);
  texture->SetType(Kelvane::CTexture::TYPE_DIRECT);
}

}  // namespace kelvane_example
