// The one image loader of the texture examples, benchmark and tests: binary
// PPM now (8-bit channels), other formats later.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/kelvane.h"

namespace kelvane_example {

/// A true-colour image: red, green, blue bytes per pixel, rows from the top.
struct Image {
  unsigned int width = 0;
  unsigned int height = 0;
  std::vector<unsigned char> rgb;
};

enum class LoadStatus {
  kOk,
  kCannotRead,  // missing, not a regular file, unreadable or out of memory
  kNotAnImage,  // not a binary PPM with 8-bit channels, or cut short
  kTooLarge,    // a side above 65535, more than a texture can hold
};

/// Reads a binary PPM ("P6", width, height, maxval 255, then the pixels;
/// '#' comments in the header). Sides must be 1 to 65535.
LoadStatus LoadImage(const std::string& path, Image* image);
LoadStatus DecodePpm(const std::vector<uint8_t>& bytes, Image* image);

/// The binary PPM of an image.
std::string EncodePpm(const Image& image);

/// Fills the texture's direct colour image from the image, with an opaque
/// alpha image, and declares it TYPE_DIRECT.
void FillTexture(const Image& image, Kelvane::CTexture* texture);

}  // namespace kelvane_example
