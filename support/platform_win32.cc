// The platform layer on Windows. Paths are UTF-8 inside the tools and reach
// the system through its wide functions; files are always binary.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "support/platform.h"
#include "platform_win32.h"

namespace support {

namespace win32 {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  if (length > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::string ErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string words = length > 0 ? Utf8(std::wstring(text, length)) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' || words.back() == '.'))
    words.pop_back();
  return words;
}

}  // namespace win32

namespace {

using win32::Utf8;
using win32::Wide;

// Files the C library opens without saying "b" or "t" are binary too, as
// they are on every other system: a 0x1A byte is data, and a line end is
// what the file holds.
const int g_binary_files = [] {
  _fmode = _O_BINARY;
  return 0;
}();

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The largest piece one ReadFile or WriteFile call moves.
constexpr size_t kMaxPiece = 1u << 30;

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

FileKind KindOf(HANDLE h, BY_HANDLE_FILE_INFORMATION* info) {
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, info)) return FileKind::kOther;
  return (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kDirectory : FileKind::kRegular;
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity id;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return id;
}

uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

// Where a positional read or write of a piece starts: `done` bytes after
// `*offset` (unused when there is no offset).
OVERLAPPED OverlappedAt(const uint64_t* offset, size_t done) {
  OVERLAPPED at = {};
  if (offset != nullptr) {
    at.Offset = static_cast<DWORD>(*offset + done);
    at.OffsetHigh = static_cast<DWORD>((*offset + done) >> 32);
  }
  return at;
}

// Reads at the handle's position, or at `*offset` when given. A pipe whose
// writer has gone reads as the end of the data.
long long ReadHandle(HANDLE h, void* data, size_t size, const uint64_t* offset) {
  size_t got = 0;
  while (got < size) {
    const DWORD piece = static_cast<DWORD>(std::min(size - got, kMaxPiece));
    DWORD n = 0;
    OVERLAPPED at = OverlappedAt(offset, got);
    if (!ReadFile(h, static_cast<uint8_t*>(data) + got, piece, &n, offset != nullptr ? &at : nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) break;
      return -1;
    }
    if (n == 0) break;
    got += n;
  }
  return static_cast<long long>(got);
}

bool WriteHandle(HANDLE h, const void* data, size_t size, const uint64_t* offset) {
  size_t done = 0;
  while (done < size) {
    const DWORD piece = static_cast<DWORD>(std::min(size - done, kMaxPiece));
    DWORD n = 0;
    OVERLAPPED at = OverlappedAt(offset, done);
    if (!WriteFile(h, static_cast<const uint8_t*>(data) + done, piece, &n, offset != nullptr ? &at : nullptr) ||
        n == 0) {
      return false;
    }
    done += n;
  }
  return true;
}

// A positional read or write moves the handle's position on Windows; the
// position the caller reads from goes back where it was.
class KeepPosition {
 public:
  explicit KeepPosition(HANDLE h) : h_(h) { kept_ = SetFilePointerEx(h_, LARGE_INTEGER{}, &position_, FILE_CURRENT); }
  ~KeepPosition() {
    if (kept_) SetFilePointerEx(h_, position_, nullptr, FILE_BEGIN);
  }
  KeepPosition(const KeepPosition&) = delete;
  KeepPosition& operator=(const KeepPosition&) = delete;

 private:
  HANDLE h_;
  LARGE_INTEGER position_ = {};
  bool kept_ = false;
};

std::atomic<bool>* g_interrupt_flag = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (g_interrupt_flag != nullptr) g_interrupt_flag->store(true);
  return TRUE;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The length of the root at the start of `path`: "C:\", "C:" (the drive's
// working folder), "\" (the working drive's root), "\\server\share\",
// "\\?\C:\" and "\\?\UNC\server\share\"; 0 for a relative path.
size_t RootLength(const std::string& path) {
  const size_t n = path.size();
  if (n >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    size_t at = 2;
    if (n >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
      at = 4;
      if (n >= at + 2 && IsDriveLetter(path[at]) && path[at + 1] == ':') {
        return n > at + 2 && IsSeparator(path[at + 2]) ? at + 3 : at + 2;
      }
      if (path.compare(at, 4, "UNC\\") == 0 || path.compare(at, 4, "UNC/") == 0) at += 4;
    }
    // The server, then the share.
    for (int part = 0; part < 2; ++part) {
      while (at < n && !IsSeparator(path[at])) ++at;
      if (at < n) ++at;
    }
    return at;
  }
  if (n >= 2 && IsDriveLetter(path[0]) && path[1] == ':') return n > 2 && IsSeparator(path[2]) ? 3 : 2;
  return n >= 1 && IsSeparator(path[0]) ? 1 : 0;
}

}  // namespace

FileKind StatFile(const std::string& path, FileIdentity* identity, uint64_t* size) {
  // Opening for no access at all reads the status of anything, a folder
  // included, without disturbing it.
  const HANDLE h = CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                               nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // A device opens only when access is asked for.
    const HANDLE device = CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return FileKind::kMissing;
    CloseHandle(device);
    if (size != nullptr) *size = 0;
    return FileKind::kOther;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  const FileKind kind = KindOf(h, &info);
  CloseHandle(h);
  if (identity != nullptr && kind != FileKind::kOther) *identity = IdentityOf(info);
  if (size != nullptr) *size = kind == FileKind::kRegular ? SizeOf(info) : 0;
  return kind;
}

File::OpenStatus File::Open(const std::string& path, Mode mode) {
  Close();
  const std::wstring name = Wide(path);
  const DWORD access = mode == Mode::kReadWriteRegular ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const HANDLE h = CreateFileW(name.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                               nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD attributes = GetFileAttributesW(name.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return folder ? OpenStatus::kIsDirectory : OpenStatus::kCannotOpen;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  const FileKind kind = KindOf(h, &info);
  if (kind == FileKind::kDirectory || (mode != Mode::kReadAny && kind != FileKind::kRegular)) {
    CloseHandle(h);
    return kind == FileKind::kDirectory ? OpenStatus::kIsDirectory : OpenStatus::kNotRegular;
  }
  // A read-only file is changed by nobody, as the output writer has it; the
  // attribute is checked, not left to the open, which wine run by root
  // grants all the same.
  if (mode == Mode::kReadWriteRegular && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    CloseHandle(h);
    return OpenStatus::kCannotOpen;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  owned_ = true;
  regular_ = kind == FileKind::kRegular;
  size_ = regular_ ? SizeOf(info) : 0;
  identity_ = regular_ ? IdentityOf(info) : FileIdentity();
  return OpenStatus::kOk;
}

void File::OpenStandardInput() {
  Close();
  // The system's handle, not the C library's descriptor: its bytes come
  // as they are, whatever mode the descriptor is in.
  const HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  handle_ = reinterpret_cast<intptr_t>(h);
  owned_ = false;
  BY_HANDLE_FILE_INFORMATION info = {};
  regular_ = KindOf(h, &info) == FileKind::kRegular;
  size_ = regular_ ? SizeOf(info) : 0;
  identity_ = regular_ ? IdentityOf(info) : FileIdentity();
}

long long File::Read(void* data, size_t size) {
  if (handle_ < 0) return -1;
  return ReadHandle(Handle(handle_), data, size, nullptr);
}

long long File::ReadAt(uint64_t offset, void* data, size_t size) const {
  if (handle_ < 0) return -1;
  KeepPosition keep(Handle(handle_));
  return ReadHandle(Handle(handle_), data, size, &offset);
}

bool File::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (handle_ < 0) return false;
  KeepPosition keep(Handle(handle_));
  return WriteHandle(Handle(handle_), data, size, &offset);
}

bool File::Seek(uint64_t offset) {
  if (handle_ < 0 || offset > static_cast<uint64_t>(INT64_MAX)) return false;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(Handle(handle_), to, nullptr, FILE_BEGIN) != 0;
}

bool File::CloseNative(intptr_t handle) { return CloseHandle(Handle(handle)) != 0; }

bool WriteStandardOutput(const void* data, size_t size) {
  if (fflush(stdout) != 0) return false;
  // Through the C library's descriptor, so that its mode (text unless the
  // tool switched it to binary) applies as it does to everything else.
  size_t done = 0;
  while (done < size) {
    const unsigned piece = static_cast<unsigned>(std::min(size - done, kMaxPiece));
    const int n = _write(_fileno(stdout), static_cast<const uint8_t*>(data) + done, piece);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void SetBinaryMode(std::FILE* stream) {
  fflush(stream);
  _setmode(_fileno(stream), _O_BINARY);
}

void SetTextMode(std::FILE* stream) {
  fflush(stream);
  _setmode(_fileno(stream), _O_TEXT);
}

void CatchInterrupt(std::atomic<bool>* flag) {
  static_assert(std::atomic<bool>::is_always_lock_free, "the console handler sets the flag");
  g_interrupt_flag = flag;
  // A program started in a new process group has Ctrl-C switched off.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool win32::InterruptCaught() { return g_interrupt_flag != nullptr; }

std::string win32::RandomSuffix() {
  static std::atomic<uint64_t> counter{0};
  uint64_t x = (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^ GetTickCount64() ^
               (++counter * 0x9E3779B97F4A7C15u);
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9u;
  x ^= x >> 29;
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i, x /= 36) suffix += kChars[x % 36];
  return suffix;
}

void* win32::OpenNamelessTemp() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = std::wstring(folder) + Wide(".scratch-" + RandomSuffix());
    const HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  return INVALID_HANDLE_VALUE;
}

bool win32::WriteAll(void* handle, const void* data, size_t size) {
  return WriteHandle(static_cast<HANDLE>(handle), data, size, nullptr);
}

void SetAsideFileSizeSignal() {}

void PrepareArguments(int* argc, char*** argv) {
  // The C library's arguments are in the ANSI code page, which cannot hold
  // every file name; the wide command line can.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count < 1) return;
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  texts.clear();
  for (int i = 0; i < count; ++i) texts.push_back(Utf8(wide[i]));
  LocalFree(wide);
  pointers.clear();
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  *argc = count;
  *argv = pointers.data();
}

bool SharedLibrary::Load(const std::string& file_name, const std::string& fallback_folder, std::string* why) {
  Release();
  // No dialog box about a library that is missing something: a failure to
  // load is reported like any other.
  DWORD old_mode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_mode);
  // The program's own folder first, then the system's folder, then the
  // folders of PATH in order, but never the working folder, where anyone's
  // files lie. A library found in a folder is loaded from there or reported;
  // one that fails to load is not passed over for another.
  HMODULE module = LoadLibraryExW(Wide(file_name).c_str(), nullptr,
                                  LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  DWORD error = GetLastError();
  if (module == nullptr && (error == ERROR_MOD_NOT_FOUND || error == ERROR_FILE_NOT_FOUND)) {
    std::vector<std::string> folders;
    const DWORD length = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(length, L'\0');
    if (length > 0 && GetEnvironmentVariableW(L"PATH", path.data(), length) < length) {
      path.resize(wcslen(path.c_str()));
      size_t start = 0;
      while (start <= path.size()) {
        size_t end = path.find(L';', start);
        if (end == std::wstring::npos) end = path.size();
        if (end > start) folders.push_back(Utf8(path.substr(start, end - start)));
        start = end + 1;
      }
    }
    if (!fallback_folder.empty()) {
      folders.push_back(IsAbsolutePath(fallback_folder) ? fallback_folder : JoinPath(ProgramFolder(), fallback_folder));
    }
    for (const std::string& folder : folders) {
      if (!IsAbsolutePath(folder)) continue;  // a relative entry would be the working folder's
      const std::string candidate = JoinPath(folder, file_name);
      if (StatFile(candidate) != FileKind::kRegular) continue;
      // Its own dependencies are then looked for beside it.
      module = LoadLibraryExW(Wide(candidate).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
      error = GetLastError();
      break;
    }
  }
  SetThreadErrorMode(old_mode, nullptr);
  if (module == nullptr) {
    *why = file_name + ": " + win32::ErrorText(error);
    return false;
  }
  handle_ = module;
  return true;
}

void* SharedLibrary::Find(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void SharedLibrary::Release() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

std::string ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return PathFolder(Utf8(path));
    }
    if (path.size() > 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::string CurrentFolder() {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  if (length == 0) return {};
  std::wstring path(length, L'\0');
  const DWORD written = GetCurrentDirectoryW(length, path.data());
  if (written == 0 || written >= length) return {};
  path.resize(written);
  return Utf8(path);
}

bool ChangeFolder(const std::string& path) { return SetCurrentDirectoryW(Wide(path).c_str()) != 0; }

std::string PathFolder(const std::string& path) {
  const size_t root = RootLength(path);
  size_t separator = std::string::npos;
  for (size_t i = path.size(); i > root; --i) {
    if (IsSeparator(path[i - 1])) {
      separator = i - 1;
      break;
    }
  }
  if (separator == std::string::npos) return root > 0 ? path.substr(0, root) : ".";
  return path.substr(0, separator);
}

bool IsAbsolutePath(const std::string& path) {
  const size_t root = RootLength(path);
  // "\dir" and "C:dir" still depend on the working drive or folder.
  return root > 2 || (root == 2 && IsSeparator(path[0]));
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || IsAbsolutePath(path)) return path;
  const std::wstring name = Wide(path);
  const DWORD length = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(name.c_str(), length, full.data(), nullptr);
  if (written == 0 || written >= length) return path;
  full.resize(written);
  return Utf8(full);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsSeparator(folder.back()) || (folder.size() == 2 && folder[1] == ':')) return folder + name;
  // The folder's own separator, so that a path keeps one style; a bare
  // name ("sub") takes the slash that every system reads, so that a path a
  // tool shows is the same on all of them.
  const char separator = folder.find('\\') == std::string::npos ? '/' : '\\';
  return folder + separator + name;
}

// Scratch files.

std::FILE* OpenScratchFile() {
  const HANDLE h = static_cast<HANDLE>(win32::OpenNamelessTemp());
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_RDWR);
  if (fd < 0) {
    CloseHandle(h);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "w+b");
  if (file == nullptr) _close(fd);
  return file;
}

}  // namespace support
