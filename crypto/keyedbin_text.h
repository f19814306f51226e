// keyedbin's C array: the text around the elements and their layout.
#pragma once

#include <cstddef>
#include <string>

#include "support/c_text.h"

namespace keyedbin {

/// "#include <dravo.h>\n\nconst u<8*width> <identifier>[0x<COUNT>] = {".
std::string ArrayHead(int width, const std::string& identifier, size_t count);

/// The elements of width 1, 2 or 4: "0x..," in upper case without blanks,
/// a line break before every 16 elements of u8 and every 8 of u16 and u32.
support::HexLayout ArrayLayout(int width);

/// What closes the array.
inline constexpr char kArrayTail[] = "\n};\n";

}  // namespace keyedbin
