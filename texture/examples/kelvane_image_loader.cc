// Binary PPM reading and writing for the texture examples (PNG: kelvane_png.cc,
// or kelvane_png_absent.cc in a build without libpng).
#include "kelvane_image_loader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "support/file_io.h"

namespace kelvane_example {

namespace {

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The header of a binary PPM, read byte by byte as the format defines it: a
// comment runs from '#' to the next CR or LF, and that byte stands in for the
// whole comment, so "255# note\n" ends the maximum value where the comment
// ends.
class PpmHeader {
 public:
  /// Reads `bytes` from `at` (after the magic number).
  PpmHeader(const std::vector<uint8_t>& bytes, size_t at) : bytes_(bytes), at_(at) {}

  /// Where the raster starts once the header has been read.
  size_t at() const { return at_; }

  /// Reads white space, then a decimal number ended by one white-space byte;
  /// `what` names it in `*why`. A number above `limit` is refused, as is 0.
  bool ReadNumber(const char* what, unsigned long limit, unsigned long* value, bool* too_large, std::string* why) {
    int c = Next();
    while (IsSpace(c)) c = Next();
    if (c < 0) return Fail(why, std::string("the header ends before the ") + what);
    if (c < '0' || c > '9') return Fail(why, std::string("the ") + what + " is not a decimal number");
    std::string digits;
    unsigned long v = 0;
    for (; c >= '0' && c <= '9'; c = Next()) {
      if (v <= limit) v = v * 10 + static_cast<unsigned long>(c - '0');
      if (digits.size() < 12) digits += static_cast<char>(c);
    }
    if (c < 0) return Fail(why, std::string("the header ends after the ") + what);
    if (!IsSpace(c)) return Fail(why, std::string("the ") + what + " is not followed by white space");
    if (v == 0 || v > limit) {
      *too_large = v > limit;
      if (digits.size() == 12) digits += "...";
      return Fail(why, std::string(what) + " " + digits + " is out of range (1 to " + std::to_string(limit) + ")");
    }
    *value = v;
    return true;
  }

 private:
  int Next() {
    if (at_ >= bytes_.size()) return -1;
    int c = bytes_[at_++];
    if (c == '#') {
      while (at_ < bytes_.size() && bytes_[at_] != '\n' && bytes_[at_] != '\r') ++at_;
      c = at_ < bytes_.size() ? bytes_[at_++] : -1;
    }
    return c;
  }

  static bool Fail(std::string* why, const std::string& reason) {
    if (why != nullptr) *why = reason;
    return false;
  }

  const std::vector<uint8_t>& bytes_;
  size_t at_;
};

LoadStatus Refuse(LoadStatus status, std::string* why, const std::string& reason) {
  if (why != nullptr) *why = reason;
  return status;
}

}  // namespace

bool IsPng(const std::vector<uint8_t>& bytes) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
}

LoadStatus DecodePpm(const std::vector<uint8_t>& bytes, Image* image, std::string* why) {
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '7') {
    return Refuse(LoadStatus::kNotAnImage, why, "it is neither a binary PPM (P6) nor a PNG image");
  }
  if (bytes[1] == '3') {
    return Refuse(LoadStatus::kNotAnImage, why, "plain (P3) PPM is not supported, only binary PPM (P6)");
  }
  if (bytes[1] != '6') {
    return Refuse(LoadStatus::kNotAnImage, why,
                  std::string("P") + static_cast<char>(bytes[1]) + " is not supported, only binary PPM (P6)");
  }
  PpmHeader header(bytes, 2);
  unsigned long width = 0, height = 0, maxval = 0;
  bool too_large = false;
  if (!header.ReadNumber("width", kLargestSide, &width, &too_large, why) ||
      !header.ReadNumber("height", kLargestSide, &height, &too_large, why)) {
    return too_large ? LoadStatus::kTooLarge : LoadStatus::kNotAnImage;
  }
  if (!header.ReadNumber("maximum value", 65535, &maxval, &too_large, why)) return LoadStatus::kNotAnImage;
  const uint64_t sample_bytes = maxval > 255 ? 2 : 1;
  const uint64_t samples = uint64_t{width} * height * 3;
  const uint64_t size = samples * sample_bytes;
  size_t at = header.at();
  // A header written with CR LF line ends has both bytes after the maximum
  // value. The format allows only one, but when the data is then exactly one
  // byte too long and that byte is the LF, the pair is taken as one end.
  if (bytes[at - 1] == '\r' && at < bytes.size() && bytes[at] == '\n' && bytes.size() - at == size + 1) ++at;
  if (bytes.size() - at < size) {
    return Refuse(LoadStatus::kNotAnImage, why,
                  "image data ends after " + std::to_string(bytes.size() - at) + " of " + std::to_string(size) +
                      " bytes");
  }
  const uint8_t* data = bytes.data() + at;
  std::vector<unsigned char> rgb;
  if (maxval == 255) {
    rgb.assign(data, data + static_cast<size_t>(samples));
  } else {
    // Other maximum values scale to 8 bits, rounding to nearest.
    std::vector<uint8_t> scale(maxval + 1);
    for (unsigned long v = 0; v <= maxval; ++v) scale[v] = static_cast<uint8_t>((v * 255 + maxval / 2) / maxval);
    rgb.resize(static_cast<size_t>(samples));
    for (size_t i = 0; i < rgb.size(); ++i) {
      const unsigned long v = sample_bytes == 2 ? (static_cast<unsigned long>(data[2 * i]) << 8) | data[2 * i + 1]
                                                : data[i];
      if (v > maxval) {
        return Refuse(LoadStatus::kNotAnImage, why,
                      "sample value " + std::to_string(v) + " is above the maximum value " + std::to_string(maxval));
      }
      rgb[i] = scale[v];
    }
  }
  image->width = static_cast<unsigned int>(width);
  image->height = static_cast<unsigned int>(height);
  image->rgb.swap(rgb);
  image->alpha.clear();
  return LoadStatus::kOk;
}

LoadStatus LoadImage(const std::string& path, Image* image, std::string* why) {
  std::vector<uint8_t> bytes;
  support::FileFacts facts;
  switch (support::ReadWholeFile(path, &bytes, UINT64_MAX, &facts)) {
    case support::ReadStatus::kOk:
      break;
    case support::ReadStatus::kCannotOpen:
      return Refuse(LoadStatus::kCannotRead, why, "it cannot be opened");
    case support::ReadStatus::kNotRegular:
      return Refuse(LoadStatus::kCannotRead, why, facts.is_directory ? "it is a folder" : "it is not a regular file");
    case support::ReadStatus::kReadError:
      return Refuse(LoadStatus::kCannotRead, why, "reading it failed");
    case support::ReadStatus::kNoMemory:
      return Refuse(LoadStatus::kCannotRead, why, "there is not enough memory to hold it");
  }
  if (!IsPng(bytes)) return DecodePpm(bytes, image, why);
  if (!kPngSupported) {
    return Refuse(LoadStatus::kNotAnImage, why, "PNG is not supported in this build (made without libpng)");
  }
  const LoadStatus status = DecodePng(bytes, image);
  if (status == LoadStatus::kTooLarge) {
    return Refuse(status, why, "the PNG is too large (sides up to 65535, at most 64 Mi pixels)");
  }
  if (status != LoadStatus::kOk) return Refuse(status, why, "the PNG is damaged or cut short");
  return status;
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
