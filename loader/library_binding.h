// Binding a device library: loading it by file name and looking up its
// functions by name into a generation's table of typed function pointers.
// A table (DravoApi, ZyrApi) names its library in kLibraryName, holds it in
// `library` and lists its functions in Slots().
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/platform.h"

namespace loader {

/// One function of a device library as a loader binds it.
struct FunctionSlot {
  enum Need {
    kCalled,    // the loader calls it: a library without it is refused
    kOptional,  // called only when the library has it
    kLookedUp,  // looked up, never called
  };
  const char* name = nullptr;
  Need need = kLookedUp;
  /// Stores an address (null for none) in the table; empty for kLookedUp.
  std::function<void(void* address)> store;
};

/// A slot whose address goes into the typed function pointer `*fn`.
template <typename Fn>
FunctionSlot Slot(const char* name, Fn* fn, FunctionSlot::Need need = FunctionSlot::kCalled) {
  static_assert(sizeof(Fn) == sizeof(void*));
  // A copy of the bits, as the warning set forbids the cast.
  return {name, need, [fn](void* address) { std::memcpy(fn, &address, sizeof address); }};
}

/// A function that is looked up and never called.
inline FunctionSlot LookedUp(const char* name) { return {name, FunctionSlot::kLookedUp, nullptr}; }

enum class BindResult { kOk, kCannotLoad, kMissingFunction };

/// Loads `file_name` as the system's loader finds it (LD_LIBRARY_PATH first,
/// then the program's run path), else from the library folder beside the
/// program's own folder; never from the working folder. Then looks up every
/// slot in order. On failure nothing stays loaded, every slot is null, and
/// `detail` holds the loader's reason (kCannotLoad) or the name of the first
/// missing function (kMissingFunction).
BindResult BindLibrary(const char* file_name, const std::vector<FunctionSlot>& slots,
                       support::SharedLibrary* library, std::string* detail);

/// Releases the library and forgets every function address.
void UnbindLibrary(const std::vector<FunctionSlot>& slots, support::SharedLibrary* library);

/// The error message for a failed binding of `library_name`.
std::string BindFailureMessage(BindResult result, const char* library_name, const std::string& detail);

template <typename Api>
BindResult BindDeviceLibrary(Api* api, std::string* detail) {
  return BindLibrary(Api::kLibraryName, api->Slots(), &api->library, detail);
}

template <typename Api>
void ReleaseDeviceLibrary(Api* api) {
  UnbindLibrary(api->Slots(), &api->library);
}

/// The name of every function the loader looks up in its library, in order.
template <typename Api>
std::vector<std::string> DeviceLibraryFunctions() {
  Api unbound;
  std::vector<std::string> names;
  for (const FunctionSlot& slot : unbound.Slots()) names.push_back(slot.name);
  return names;
}

}  // namespace loader
