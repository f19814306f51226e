#include "dravo_binding.h"

#include <cstring>

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

// Converts a looked-up address to a typed function pointer without a cast
// that the warning set forbids.
template <typename Fn>
bool Bind(const LibraryHandle& library, const char* name, Fn* fn, std::string* detail) {
  void* address = LookUpFunction(library, name);
  if (address == nullptr) {
    *detail = name;
    return false;
  }
  static_assert(sizeof(Fn) == sizeof(void*));
  std::memcpy(fn, &address, sizeof address);
  return true;
}

}  // namespace

BindResult BindDravoLibrary(DravoApi* api, std::string* detail) {
  *api = DravoApi{};
  if (!LoadLibraryByName(kDravoLibraryName, &api->library, detail)) return BindResult::kCannotLoad;
  const LibraryHandle& lib = api->library;
  bool ok = Bind(lib, "DRAVOToolAPIFindOpen", &api->find_open, detail) &&
            Bind(lib, "DRAVOToolAPIFindNext", &api->find_next, detail) &&
            Bind(lib, "DRAVOToolAPIDeviceOpen", &api->device_open, detail) &&
            Bind(lib, "DRAVOToolAPIReset", &api->reset, detail) &&
            Bind(lib, "DRAVOToolAPIWriteROM", &api->write_rom, detail) &&
            Bind(lib, "DRAVOToolAPICartridgeSlotPower", &api->cartridge_slot_power, detail) &&
            Bind(lib, "DRAVOToolAPICardSlotPower", &api->card_slot_power, detail) &&
            Bind(lib, "DRAVOToolAPIGetDebugPrint", &api->get_debug_print, detail) &&
            Bind(lib, "DRAVOToolAPIDeviceClose", &api->device_close, detail);
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
