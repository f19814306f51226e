#include "library_binding.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace loader {
namespace {

#ifndef LOADER_LIBRARY_FOLDER
#define LOADER_LIBRARY_FOLDER "../lib"
#endif

// The library folder beside the folder that holds the running program (the
// one its run path names), with a final slash; empty when it cannot be told.
std::string ProgramLibraryFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  std::string program(path, static_cast<size_t>(length));
  const size_t slash = program.rfind('/');
  if (slash == std::string::npos) return {};
  return program.substr(0, slash + 1) + LOADER_LIBRARY_FOLDER "/";
}

// Whether a folder of LD_LIBRARY_PATH holds `file_name`: a library found
// there but failing to load must be reported, not replaced by another.
bool OnLibraryPath(const char* file_name) {
  const char* list = std::getenv("LD_LIBRARY_PATH");
  if (list == nullptr) return false;
  const std::string folders = list;
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    if (access((folder + "/" + file_name).c_str(), F_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool LoadLibraryByName(const char* file_name, LibraryHandle* library, std::string* why) {
  library->handle = dlopen(file_name, RTLD_NOW | RTLD_LOCAL);
  if (library->handle != nullptr) return true;
  const char* text = dlerror();
  *why = text != nullptr ? text : "unknown reason";
  // The program's run path ($ORIGIN/../lib) applies only when the dynamic
  // loader sees the program itself as the caller; a library that intercepts
  // dlopen (a sanitizer runtime, for one) hides it. Follow it explicitly then.
  if (OnLibraryPath(file_name)) return false;
  const std::string folder = ProgramLibraryFolder();
  if (folder.empty()) return false;
  library->handle = dlopen((folder + file_name).c_str(), RTLD_NOW | RTLD_LOCAL);
  return library->handle != nullptr;
}

void* LookUpFunction(const LibraryHandle& library, const char* name) {
  if (library.handle == nullptr) return nullptr;
  dlerror();
  return dlsym(library.handle, name);
}

std::string BindFailureMessage(BindResult result, const char* library_name, const std::string& detail) {
  if (result == BindResult::kCannotLoad) {
    return std::string("cannot load device library ") + library_name + " (" + detail + ").";
  }
  return std::string("device library ") + library_name + " has no function " + detail + ".";
}

void ReleaseLibrary(LibraryHandle* library) {
  if (library->handle != nullptr) dlclose(library->handle);
  library->handle = nullptr;
}

}  // namespace loader
