// keyedbin's C array: the text around the elements, their layout, and the
// rule for the array's name.
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

/// True when `name` can name a C array: a letter or '_', then letters,
/// digits and '_', and no keyword of C.
bool IsCIdentifier(const std::string& name);

}  // namespace keyedbin
