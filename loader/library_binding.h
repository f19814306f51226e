// Loading a device library by file name and looking up its functions. Shared
// by the loaders of both generations; each keeps its own table of functions.
#pragma once

#include <cstring>
#include <string>

namespace loader {

/// An opened shared library; null when none is loaded.
struct LibraryHandle {
  void* handle = nullptr;
};

/// Loads `file_name` as the dynamic loader finds it (LD_LIBRARY_PATH first,
/// then the program's run path, lib/ beside its bin/ folder), never from the
/// working folder. Returns false and fills `why` on failure.
bool LoadLibraryByName(const char* file_name, LibraryHandle* library, std::string* why);

/// The address of the exported function `name`, or null when it is missing.
void* LookUpFunction(const LibraryHandle& library, const char* name);

/// Releases the library; harmless when none is loaded.
void ReleaseLibrary(LibraryHandle* library);

enum class BindResult { kOk, kCannotLoad, kMissingFunction };

/// The error message for a failed binding of `library_name`, from the
/// loader's reason or the missing function in `detail`.
std::string BindFailureMessage(BindResult result, const char* library_name, const std::string& detail);

/// Looks up `name` into the typed function pointer `*fn`; false (with `name`
/// in `*missing`) when the library lacks it.
template <typename Fn>
bool BindFunction(const LibraryHandle& library, const char* name, Fn* fn, std::string* missing) {
  void* address = LookUpFunction(library, name);
  *fn = nullptr;
  if (address == nullptr) {
    *missing = name;
    return false;
  }
  // A copy of the bits, as the warning set forbids the cast.
  static_assert(sizeof(Fn) == sizeof(void*));
  std::memcpy(fn, &address, sizeof address);
  return true;
}

}  // namespace loader
