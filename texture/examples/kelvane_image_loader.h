// The one image loader of the texture examples, benchmark and tests: binary
// PPM (any maximum value, scaled to 8-bit channels) and PNG (through libpng;
// any colour type, expanded to 8-bit red, green, blue and, when the file has
// it, alpha).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/kelvane.h"

namespace kelvane_example {

/// The largest side of an image a texture can hold.
constexpr unsigned int kLargestSide = 65535;

/// A true-colour image: red, green, blue bytes per pixel, rows from the top;
/// `alpha` holds one byte per pixel, or nothing for an opaque image.
struct Image {
  unsigned int width = 0;
  unsigned int height = 0;
  std::vector<unsigned char> rgb;
  std::vector<unsigned char> alpha;
};

enum class LoadStatus {
  kOk,
  kCannotRead,  // missing, not a regular file, unreadable or out of memory
  kNotAnImage,  // neither a sound binary PPM nor a sound PNG, or cut short
  kTooLarge,    // a side above 65535 (more than a texture can hold), or a PNG of over 64 Mi pixels
};

/// Whether this build reads and writes PNG (it was made with libpng).
constexpr bool kPngSupported = KELVANE_EXAMPLE_PNG != 0;

/// Reads a PNG (by its signature) or else a binary PPM, with the reason for a
/// refusal in `*why` (when given): "the PNG is damaged or cut short", "plain
/// (P3) PPM is not supported, only binary PPM (P6)", ...
LoadStatus LoadImage(const std::string& path, Image* image, std::string* why = nullptr);

/// Decodes a binary PPM as the format defines it: "P6", then width, height
/// and maximum value (1 to 65535) in decimal, separated by white space
/// (space, tab, CR, LF, VT, FF) and comments ('#' to the end of its line,
/// anywhere before the one white-space byte that ends the maximum value),
/// then the samples: a byte each up to a maximum value of 255, two (the more
/// significant first) above it. A maximum value other than 255 is scaled to
/// 8 bits, rounding to nearest: (v * 255 + maxval / 2) / maxval. CR LF after
/// the maximum value counts as one end when the data is otherwise one byte
/// too long. Sides must be 1 to 65535; bytes after the samples are ignored.
LoadStatus DecodePpm(const std::vector<uint8_t>& bytes, Image* image, std::string* why = nullptr);

/// Decodes a PNG: palette images become true colour, grey becomes equal red,
/// green and blue, 16-bit channels keep their high byte, and an alpha channel
/// or a transparency chunk fills `alpha` (left empty otherwise). A build
/// without libpng refuses every PNG (kNotAnImage).
LoadStatus DecodePng(const std::vector<uint8_t>& bytes, Image* image);
/// Whether `bytes` start with the PNG signature (in any build).
bool IsPng(const std::vector<uint8_t>& bytes);

/// The binary PPM of an image (alpha is dropped).
std::string EncodePpm(const Image& image);

/// The PNG of an image: RGBA when it has alpha, else RGB. False when libpng
/// fails, and always in a build without libpng.
bool EncodePng(const Image& image, std::string* png);

/// Fills the texture's direct colour image from the image and its alpha image
/// from the image's alpha (opaque when it has none), and declares it
/// TYPE_DIRECT.
void FillTexture(const Image& image, Kelvane::CTexture* texture);

}  // namespace kelvane_example
