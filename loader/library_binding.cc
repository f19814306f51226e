#include "library_binding.h"

namespace loader {
namespace {

#ifndef LOADER_LIBRARY_FOLDER
#define LOADER_LIBRARY_FOLDER "../lib"
#endif

}  // namespace

BindResult BindLibrary(const char* file_name, const std::vector<FunctionSlot>& slots,
                       support::SharedLibrary* library, std::string* detail) {
  // The program's run path names the same folder; following it here too
  // finds the library where a library that intercepts the system's loader
  // (a sanitizer runtime, for one) hides the run path.
  if (!library->Load(file_name, LOADER_LIBRARY_FOLDER, detail)) {
    UnbindLibrary(slots, library);
    return BindResult::kCannotLoad;
  }
  for (const FunctionSlot& slot : slots) {
    void* address = library->Find(slot.name);
    if (address == nullptr && slot.need == FunctionSlot::kCalled) {
      *detail = slot.name;
      UnbindLibrary(slots, library);
      return BindResult::kMissingFunction;
    }
    if (slot.store) slot.store(address);
  }
  return BindResult::kOk;
}

void UnbindLibrary(const std::vector<FunctionSlot>& slots, support::SharedLibrary* library) {
  library->Release();
  for (const FunctionSlot& slot : slots) {
    if (slot.store) slot.store(nullptr);
  }
}

std::string BindFailureMessage(BindResult result, const char* library_name, const std::string& detail) {
  if (result == BindResult::kCannotLoad) {
    return std::string("cannot load device library ") + library_name + " (" + detail + ").";
  }
  return std::string("device library ") + library_name + " has no function " + detail + ".";
}

}  // namespace loader
