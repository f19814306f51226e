// Text made as printf would print it, for messages that are built before
// they are written.
#pragma once

#include <string>

// MinGW's C++ library prints through its own ISO C printf (with %zu and
// %lld), which the compiler checks as gnu_printf.
#ifdef __MINGW32__
#define SUPPORT_PRINTF_FORMAT __attribute__((format(gnu_printf, 1, 2)))
#else
#define SUPPORT_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#endif

namespace support {

/// The text printf would write for `format`.
std::string FormatText(const char* format, ...) SUPPORT_PRINTF_FORMAT;

}  // namespace support
