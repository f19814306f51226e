// Binding of ISZYR.DLL: the library and the addresses of the functions
// bootcast.ZYR uses.
#pragma once

#include <vector>

#include "library_binding.h"
#include "zyr_api.h"

namespace loader {

struct ZyrApi {
  /// File name under which the second-generation device library is loaded.
  static constexpr const char* kLibraryName = "ISZYR.DLL";

  support::SharedLibrary library;
  decltype(&ISDGetVersion) get_version = nullptr;
  decltype(&ISDFindOpen) find_open = nullptr;
  decltype(&ISDFindNext) find_next = nullptr;
  decltype(&ISDDeviceOpenEx) device_open_ex = nullptr;
  decltype(&ISDReset) reset = nullptr;
  decltype(&ISDSetCallbackPrintf) set_callback_printf = nullptr;
  /// Null in a library older than first-generation mode: not an error.
  decltype(&ISDSetHybridMode) set_hybrid_mode = nullptr;
  decltype(&ISDDownloadGo2) download_go2 = nullptr;
  decltype(&ISDGetLastError) get_last_error = nullptr;

  /// Every function bootcast.ZYR looks up, in order, with where its address
  /// goes.
  std::vector<FunctionSlot> Slots();
};

}  // namespace loader
