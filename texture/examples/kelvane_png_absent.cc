// The texture examples in a build without libpng: a PNG is recognised by its
// signature and refused, and no preview is written as PNG.
#include <cstring>

#include "kelvane_image_loader.h"

namespace kelvane_example {

bool IsPng(const std::vector<uint8_t>& bytes) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
}

LoadStatus DecodePng(const std::vector<uint8_t>&, Image*) { return LoadStatus::kNotAnImage; }

bool EncodePng(const Image&, std::string*) { return false; }

}  // namespace kelvane_example
