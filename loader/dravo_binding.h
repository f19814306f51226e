// Process-wide binding of ISDRAVO.DLL: the library handle and the addresses
// of the functions bootcast uses.
#pragma once

#include <string>

#include "dravo_api.h"
#include "library_binding.h"

namespace loader {

/// File name under which the first-generation device library is loaded.
inline constexpr const char* kDravoLibraryName = "ISDRAVO.DLL";

struct DravoApi {
  LibraryHandle library;
  DravoFindOpenFn find_open = nullptr;
  DravoFindNextFn find_next = nullptr;
  DravoDeviceOpenFn device_open = nullptr;
  DravoResetFn reset = nullptr;
  DravoWriteRomFn write_rom = nullptr;
  DravoSlotPowerFn cartridge_slot_power = nullptr;
  DravoSlotPowerFn card_slot_power = nullptr;
  DravoGetDebugPrintFn get_debug_print = nullptr;
  DravoDeviceCloseFn device_close = nullptr;
};

/// Loads ISDRAVO.DLL and looks up every function. On failure nothing stays
/// loaded; `detail` holds the loader's reason (kCannotLoad) or the name of the
/// first missing function (kMissingFunction).
BindResult BindDravoLibrary(DravoApi* api, std::string* detail);

/// Releases the library and forgets every function address.
void ReleaseDravoLibrary(DravoApi* api);

}  // namespace loader
