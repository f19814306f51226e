// keyedbin's C array text, formatted in blocks rather than element by
// element, so that a 256 MiB input streams out at memory speed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace crypto {

/// Receives the next piece of text; false stops the writing.
using TextSink = std::function<bool(const char* text, size_t size)>;

/// Writes `size` bytes (a multiple of `width`: 1, 2 or 4) as
///   #include <dravo.h>\n\nconst u<8*width> <identifier>[0x<COUNT>] = {
/// then one "0x..," element after another, little-endian, with a line break
/// before every 16 elements of u8 and every 8 of u16 and u32, and "\n};\n".
/// Returns false when the sink refused a piece.
bool WriteCArrayText(const uint8_t* data, size_t size, int width, const std::string& identifier,
                     const TextSink& sink);

}  // namespace crypto
