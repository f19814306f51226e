// What the Windows files of the platform layer share: the tools speak UTF-8,
// the system's wide functions UTF-16. Not part of the interface.
#pragma once

#include <cstddef>
#include <string>

namespace support {
namespace win32 {

/// `text` (UTF-8) as UTF-16 for the system's wide functions.
std::wstring Wide(const std::string& text);

/// `text` (UTF-16) as UTF-8.
std::string Utf8(const std::wstring& text);

/// The system's own words for error `code`, on one line.
std::string ErrorText(unsigned long code);

/// Writes all `size` bytes to the handle `handle` at its position; false
/// on any failure.
bool WriteAll(void* handle, const void* data, size_t size);

/// Six characters for a temporary name that no other run picks at the same time.
std::string RandomSuffix();

/// A file in the temporary folder for reading and writing, removed by the
/// system once closed (or the program ends); INVALID_HANDLE_VALUE when none
/// can be made.
void* OpenNamelessTemp();

/// True while the program handles the user's interrupt itself
/// (CatchInterrupt): the output writer then leaves its temporary file alone.
bool InterruptCaught();

}  // namespace win32
}  // namespace support
