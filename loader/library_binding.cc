#include "library_binding.h"

#include <dlfcn.h>

namespace loader {

bool LoadLibraryByName(const char* file_name, LibraryHandle* library, std::string* why) {
  library->handle = dlopen(file_name, RTLD_NOW | RTLD_LOCAL);
  if (library->handle == nullptr) {
    const char* text = dlerror();
    *why = text != nullptr ? text : "unknown reason";
    return false;
  }
  return true;
}

void* LookUpFunction(const LibraryHandle& library, const char* name) {
  if (library.handle == nullptr) return nullptr;
  dlerror();
  return dlsym(library.handle, name);
}

void ReleaseLibrary(LibraryHandle* library) {
  if (library->handle != nullptr) dlclose(library->handle);
  library->handle = nullptr;
}

}  // namespace loader
