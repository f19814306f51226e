#include "dravo_binding.h"

namespace loader {
namespace {

// Looked up for completeness but never called: a library without one of them
// still serves bootcast, so their absence is not an error.
constexpr const char* kUnusedFunctions[] = {
    "DRAVOToolAPIFindClose",
    "DRAVOToolAPISelector",
    "DRAVOToolAPICheckConnect",
    "DRAVOToolAPIReadROM",
    "DRAVOToolAPISyncWriteROM",
    "DRAVOToolAPISyncReadROM",
    "DRAVOToolAPIStreamWrite",
    "DRAVOToolAPIStreamGetWritableLength",
    "DRAVOToolAPISetReceiveStreamCallBackFunction",
    "DRAVOToolAPICheckStreamReceive",
    "DRAVOToolAPISetSyncTimeout",
    "DRAVOToolAPIGetROMSize",
    "DRAVOToolAPIGetPowerStatus",
    "DRAVOToolAPIGetLastError",
    "DRAVOToolAPIGetErrorMessage",
};

}  // namespace

BindResult BindDravoLibrary(DravoApi* api, std::string* detail) {
  *api = DravoApi{};
  if (!LoadLibraryByName(kDravoLibraryName, &api->library, detail)) return BindResult::kCannotLoad;
  const LibraryHandle& lib = api->library;
  bool ok = BindFunction(lib, "DRAVOToolAPIFindOpen", &api->find_open, detail) &&
            BindFunction(lib, "DRAVOToolAPIFindNext", &api->find_next, detail) &&
            BindFunction(lib, "DRAVOToolAPIDeviceOpen", &api->device_open, detail) &&
            BindFunction(lib, "DRAVOToolAPIReset", &api->reset, detail) &&
            BindFunction(lib, "DRAVOToolAPIWriteROM", &api->write_rom, detail) &&
            BindFunction(lib, "DRAVOToolAPICartridgeSlotPower", &api->cartridge_slot_power, detail) &&
            BindFunction(lib, "DRAVOToolAPICardSlotPower", &api->card_slot_power, detail) &&
            BindFunction(lib, "DRAVOToolAPIGetDebugPrint", &api->get_debug_print, detail) &&
            BindFunction(lib, "DRAVOToolAPIDeviceClose", &api->device_close, detail);
  for (const char* name : kUnusedFunctions) (void)LookUpFunction(lib, name);
  if (!ok) {
    ReleaseDravoLibrary(api);
    return BindResult::kMissingFunction;
  }
  return BindResult::kOk;
}

void ReleaseDravoLibrary(DravoApi* api) {
  ReleaseLibrary(&api->library);
  LibraryHandle released = api->library;
  *api = DravoApi{};
  api->library = released;
}

}  // namespace loader
