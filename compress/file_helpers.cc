#include "file_helpers.h"

#include "support/file_io.h"
#include "support/output_file.h"
#include "support/text_parse.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
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
  support::FileFacts facts;
  switch (support::ReadWholeFile(path, buffer, INT_MAX - 1, &facts)) {
    case support::ReadStatus::kOk:
      break;
    case support::ReadStatus::kCannotOpen:
    case support::ReadStatus::kNotRegular:
      if (wording == OpenFailureWording::kCannotOpen) {
        ErrorPrint("Cannot open file '%s'\n", path);
      } else {
        ErrorPrint("Cannot read file '%s'\n", path);
      }
      return -1;
    case support::ReadStatus::kNoMemory:
      if (facts.size >= INT_MAX) {
        ErrorPrint("File too large '%s'\n", path);
      } else {
        ErrorPrint("Cannot allocate memory size=%d\n", static_cast<int>(facts.size));
      }
      return -1;
    case support::ReadStatus::kReadError:
      buffer->clear();
      buffer->shrink_to_fit();
      ErrorPrint("Cannot read file '%s'\n", path);
      return -1;
  }
  // Even an empty file gets a buffer of its own, whose address the debug line
  // shows. (The container reports a lack of memory only by throwing.)
  try {
    buffer->reserve(1);
  } catch (const std::bad_alloc&) {
    ErrorPrint("Cannot allocate memory size=%d\n", 0);
    return -1;
  }
  const int size = static_cast<int>(buffer->size());
  DebugPrint("%p %8d bytes  ReadFile '%s'\n", static_cast<const void*>(buffer->data()), size, path);
  return size;
}

int WriteFile(const char* path, const void* data, int size, const std::function<void()>& before_commit) {
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
  support::OutputFile out;
  support::WriteStatus status = out.Open(path);
  if (status == support::WriteStatus::kOk) {
    // After a failed write Commit() says so and keeps nothing.
    if (out.Write(data, static_cast<size_t>(size))) {
      if (before_commit) before_commit();
      // What the run printed must have reached standard output before the
      // output may count as made.
      if (!support::FlushStdout()) {
        out.Abandon();
        ErrorPrint("Cannot write file 'stdout'\n");
        return -1;
      }
    }
    status = out.Commit();
  }
  switch (status) {
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

bool ConcatStrings(std::initializer_list<std::string_view> parts, std::string* result) {
  size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  result->clear();
  // The string reports a lack of memory only by throwing.
  try {
    result->reserve(total);
  } catch (const std::bad_alloc&) {
    ErrorPrint("Cannot allocate memory\n");
    return false;
  }
  for (std::string_view part : parts) result->append(part);
  return true;
}

std::string ConcatStrings(std::initializer_list<std::string_view> parts) {
  std::string result;
  ConcatStrings(parts, &result);
  return result;
}

char* StripDirAndExt(char* path) {
  if (path == nullptr) return nullptr;
  size_t begin = 0;
  size_t length = 0;
  support::PathStemRange(path, &begin, &length);
  path[begin + length] = '\0';
  return path + begin;
}

}  // namespace filehelp
