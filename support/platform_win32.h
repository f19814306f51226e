// What the Windows files of the platform layer share, beside the UTF-8 and
// UTF-16 conversions (support/wide_text.h). Not part of the interface.
#pragma once

#include <cstddef>
#include <string>

#include "support/wide_text.h"

namespace support {
namespace win32 {

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
