// The texture examples in a build without libpng: a PNG is recognised by its
// signature and refused, and no preview is written as PNG.
#include "kelvane_image_loader.h"

namespace kelvane_example {

LoadStatus DecodePng(const std::vector<uint8_t>&, Image*) { return LoadStatus::kNotAnImage; }

bool EncodePng(const Image&, std::string*) { return false; }

}  // namespace kelvane_example
