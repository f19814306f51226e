// Windows only: the tools speak UTF-8, the system's wide functions UTF-16.
#pragma once

#include <string>

namespace support {
namespace win32 {

/// `text` (UTF-8) as UTF-16 for the system's wide functions.
std::wstring Wide(const std::string& text);

/// `text` (UTF-16) as UTF-8.
std::string Utf8(const std::wstring& text);

}  // namespace win32
}  // namespace support
