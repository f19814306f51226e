// The converter's words for the library's settings: texture type and
// algorithm names, "R,G,B" colours, and the preview's format by its name.
#pragma once

#include <string>

#include "kelvane/kelvane.h"

namespace kelvane_example {

/// "palette4", "a5i3", "palette16", "a3i5", "palette256", "tex4x4", "direct".
bool ParseTypeName(const char* name, Kelvane::CTexture::tType* type);

/// "hilow", "hilow-linear", "roundrobin", "roundrobin-linear".
bool ParseAlgorithmName(const char* name, Kelvane::CDefaultColorProcessor::tAlgorithm* algorithm);

/// "R,G,B", each a decimal number from 0 to 255.
bool ParseRgbTriple(const char* text, unsigned char out[3]);

/// PNG when the name ends in ".png", in any case; binary PPM otherwise.
bool NamesPng(const std::string& path);

}  // namespace kelvane_example
