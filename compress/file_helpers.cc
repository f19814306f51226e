#include "file_helpers.h"

#include "support/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace filehelp {

namespace {

bool g_debug = false;

__attribute__((format(printf, 3, 0))) void Print(FILE* stream, const char* prefix, const char* format,
                                                va_list args) {
  if (prefix) fputs(prefix, stream);
  vfprintf(stream, format, args);
}

}  // namespace

void SetDebug(bool on) { g_debug = on; }
bool DebugEnabled() { return g_debug; }

void DebugPrint(const char* format, ...) {
  if (!g_debug) return;
  // Keep the order of lines when standard output is shared with standard error.
  fflush(stdout);
  va_list args;
  va_start(args, format);
  Print(stderr, nullptr, format, args);
  va_end(args);
}

void InfoPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Print(stdout, nullptr, format, args);
  va_end(args);
}

void ErrorPrint(const char* format, ...) {
  fflush(stdout);
  va_list args;
  va_start(args, format);
  Print(stderr, "Error: ", format, args);
  va_end(args);
}

int ReadFile(const char* path, std::vector<uint8_t>* buffer, OpenFailureWording wording) {
  buffer->clear();
  buffer->shrink_to_fit();
  if (path == nullptr) {
    ErrorPrint("Not specified filename\n");
    return -1;
  }
  // Opening first and asking the open file for its status leaves no gap in
  // which the path could be swapped for something else.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) close(fd);
    if (wording == OpenFailureWording::kCannotOpen) {
      ErrorPrint("Cannot open file '%s'\n", path);
    } else {
      ErrorPrint("Cannot read file '%s'\n", path);
    }
    return -1;
  }
  if (st.st_size >= INT_MAX) {
    close(fd);
    ErrorPrint("File too large '%s'\n", path);
    return -1;
  }
  int size = static_cast<int>(st.st_size);
  // The container reports a lack of memory only by throwing.
  try {
    // Even an empty file gets a buffer of its own, whose address the debug line shows.
    buffer->reserve(size > 0 ? static_cast<size_t>(size) : 1);
    buffer->resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    close(fd);
    ErrorPrint("Cannot allocate memory size=%d\n", size);
    return -1;
  }
  size_t got = 0;
  while (got < buffer->size()) {
    ssize_t n = read(fd, buffer->data() + got, buffer->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  if (got < buffer->size()) {
    buffer->clear();
    buffer->shrink_to_fit();
    ErrorPrint("Cannot read file '%s'\n", path);
    return -1;
  }
  DebugPrint("%p %8d bytes  ReadFile '%s'\n", static_cast<const void*>(buffer->data()), size, path);
  return size;
}

namespace {

}  // namespace

int WriteFile(const char* path, const void* data, int size) {
  DebugPrint("%p %8d bytes  WriteFile '%s'\n", data, size, path);
  if (path == nullptr) {
    ErrorPrint("Not specified filename\n");
    return -1;
  }
  if (size < 0) {
    ErrorPrint("Cannot write file '%s'\n", path);
    return -1;
  }
  // A new or existing regular file is replaced only once every byte is out,
  // so a failure never leaves a partial file behind nor loses the old one.
  switch (support::WriteOutputFile(path, data, static_cast<size_t>(size))) {
    case support::WriteStatus::kOk:
      return size;
    case support::WriteStatus::kCannotOpen:
      ErrorPrint("Cannot open file '%s'\n", path);
      return -1;
    case support::WriteStatus::kWriteError:
      ErrorPrint("Cannot write file '%s'\n", path);
      return -1;
    case support::WriteStatus::kCloseError:
      ErrorPrint("Cannot close file '%s'\n", path);
      return -1;
  }
  return -1;
}

void MoveBytes(const void* source, void* destination, size_t length) {
  const uint8_t* src = static_cast<const uint8_t*>(source);
  uint8_t* dst = static_cast<uint8_t*>(destination);
  if (reinterpret_cast<uintptr_t>(dst) < reinterpret_cast<uintptr_t>(src)) {
    for (size_t i = 0; i < length; ++i) dst[i] = src[i];
  } else {
    for (size_t i = length; i > 0; --i) dst[i - 1] = src[i - 1];
  }
}

std::string ConcatStrings(std::initializer_list<std::string_view> parts) {
  size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  std::string result;
  // The string reports a lack of memory only by throwing.
  try {
    result.reserve(total);
  } catch (const std::bad_alloc&) {
    ErrorPrint("Cannot allocate memory\n");
    exit(1);
  }
  for (std::string_view part : parts) result.append(part);
  return result;
}

char* StripDirAndExt(char* path) {
  if (path == nullptr) return nullptr;
  char* name = path;
  if (char* slash = strrchr(name, '/')) name = slash + 1;
  if (char* backslash = strrchr(name, '\\')) name = backslash + 1;
  if (char* dot = strrchr(name, '.')) *dot = '\0';
  return name;
}

}  // namespace filehelp
