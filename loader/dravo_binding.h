// Binding of ISDRAVO.DLL: the library and the addresses of the functions
// bootcast uses.
#pragma once

#include <vector>

#include "dravo_api.h"
#include "library_binding.h"

namespace loader {

struct DravoApi {
  /// File name under which the first-generation device library is loaded.
  static constexpr const char* kLibraryName = "ISDRAVO.DLL";

  support::SharedLibrary library;
  decltype(&DRAVOToolAPIFindOpen) find_open = nullptr;
  decltype(&DRAVOToolAPIFindNext) find_next = nullptr;
  decltype(&DRAVOToolAPIDeviceOpen) device_open = nullptr;
  decltype(&DRAVOToolAPIReset) reset = nullptr;
  decltype(&DRAVOToolAPIWriteROM) write_rom = nullptr;
  decltype(&DRAVOToolAPICartridgeSlotPower) cartridge_slot_power = nullptr;
  decltype(&DRAVOToolAPICardSlotPower) card_slot_power = nullptr;
  decltype(&DRAVOToolAPIGetDebugPrint) get_debug_print = nullptr;
  decltype(&DRAVOToolAPIDeviceClose) device_close = nullptr;

  /// Every function bootcast looks up, in order, with where its address goes.
  std::vector<FunctionSlot> Slots();
};

}  // namespace loader
