// Loading a device library by file name and looking up its functions. Shared
// by the loaders of both generations; each keeps its own table of functions.
#pragma once

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

}  // namespace loader
