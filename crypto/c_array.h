// keyedbin's C text: the bytes as one array of u8, u16 or u32 elements for
// inclusion in a game build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rc4text {

/// "#include <dravo.h>", then `const u<8w> <identifier>[0x<count>] = {`, the
/// elements (little-endian for u16 and u32; 16 a line for u8, 8 for the
/// wider ones; each with its comma) and "};". `bytes` holds a whole number
/// of elements of `width` (1, 2 or 4) bytes.
std::string FormatCArray(const std::vector<uint8_t>& bytes, int width, const std::string& identifier);

}  // namespace rc4text
