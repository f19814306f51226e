// Binding of ISZYR.DLL: the library handle and the addresses of the
// functions bootcast.ZYR uses.
#pragma once

#include <string>

#include "library_binding.h"
#include "zyr_api.h"

namespace loader {

/// File name under which the second-generation device library is loaded.
inline constexpr const char* kZyrLibraryName = "ISZYR.DLL";

struct ZyrApi {
  LibraryHandle library;
  ZyrGetVersionFn get_version = nullptr;
  ZyrFindOpenFn find_open = nullptr;
  ZyrFindNextFn find_next = nullptr;
  ZyrDeviceOpenExFn device_open_ex = nullptr;
  ZyrResetFn reset = nullptr;
  ZyrSetCallbackPrintfFn set_callback_printf = nullptr;
  /// Null in a library older than first-generation mode: not an error.
  ZyrSetHybridModeFn set_hybrid_mode = nullptr;
  ZyrDownloadGo2Fn download_go2 = nullptr;
  ZyrGetLastErrorFn get_last_error = nullptr;
};

/// Loads ISZYR.DLL and looks up every function. On failure nothing stays
/// loaded; `detail` holds the loader's reason (kCannotLoad) or the name of the
/// first missing function (kMissingFunction).
BindResult BindZyrLibrary(ZyrApi* api, std::string* detail);

/// Releases the library and forgets every function address.
void ReleaseZyrLibrary(ZyrApi* api);

}  // namespace loader
