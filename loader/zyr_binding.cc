#include "zyr_binding.h"

namespace loader {
namespace {

// Looked up for completeness but never called: a library without one of them
// still serves bootcast.ZYR, so their absence is not an error.
constexpr const char* kUnusedFunctions[] = {
    "ISDFindClose",    "ISDDeviceOpen",  "ISDDeviceClose",    "ISDGetDeviceID",     "ISDCheckConnect",
    "ISDWriteEMUROM2", "ISDReadEMUROM2", "ISDGetEMUROMSize2", "ISDGetErrorMessage",
};

}  // namespace

BindResult BindZyrLibrary(ZyrApi* api, std::string* detail) {
  *api = ZyrApi{};
  if (!LoadLibraryByName(kZyrLibraryName, &api->library, detail)) return BindResult::kCannotLoad;
  const LibraryHandle& lib = api->library;
  const bool ok = BindFunction(lib, "ISDGetVersion", &api->get_version, detail) &&
                  BindFunction(lib, "ISDFindOpen", &api->find_open, detail) &&
                  BindFunction(lib, "ISDFindNext", &api->find_next, detail) &&
                  BindFunction(lib, "ISDDeviceOpenEx", &api->device_open_ex, detail) &&
                  BindFunction(lib, "ISDReset", &api->reset, detail) &&
                  BindFunction(lib, "ISDSetCallbackPrintf", &api->set_callback_printf, detail) &&
                  BindFunction(lib, "ISDDownloadGo2", &api->download_go2, detail) &&
                  BindFunction(lib, "ISDGetLastError", &api->get_last_error, detail);
  if (!ok) {
    ReleaseZyrLibrary(api);
    return BindResult::kMissingFunction;
  }
  // The one function whose absence is tested: first-generation mode needs it.
  std::string absent;
  (void)BindFunction(lib, "ISDSetHybridMode", &api->set_hybrid_mode, &absent);
  for (const char* name : kUnusedFunctions) (void)LookUpFunction(lib, name);
  return BindResult::kOk;
}

void ReleaseZyrLibrary(ZyrApi* api) {
  ReleaseLibrary(&api->library);
  *api = ZyrApi{};
}

}  // namespace loader
