// The output writer on Windows. The handles live in C library descriptors
// (_open_osfhandle), so that the writer's state reads as it does elsewhere.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform_win32.h"
#include "support/output_file.h"
#include "support/platform.h"

namespace support {

namespace {

using win32::Utf8;
using win32::Wide;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr int kMaxTempTries = 100;

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// A descriptor that owns `h`; the handle is closed when it cannot be made.
int DescriptorOf(HANDLE h) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
  if (fd < 0) CloseHandle(h);
  return fd;
}

// Temporary files that Ctrl-C, Ctrl-Break or closing the console must not
// leave behind, by slot (an empty name: a free slot). The console handler
// runs on a thread of its own, so the table is locked.
std::mutex g_live_mutex;
std::vector<std::wstring> g_live_temps;

BOOL WINAPI RemoveTemps(DWORD event) {
  // A program that handles the break itself goes on, and its output with it.
  if ((event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) && win32::InterruptCaught()) return FALSE;
  std::lock_guard<std::mutex> lock(g_live_mutex);
  for (const std::wstring& temp : g_live_temps) {
    // Opened for sharing deletion: the name goes now, the file when the
    // process ends.
    if (!temp.empty()) DeleteFileW(temp.c_str());
  }
  return FALSE;  // the next handler, or the system's, ends the process
}

void InstallCleanupHandler() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  SetConsoleCtrlHandler(RemoveTemps, TRUE);
}

// Called with the table locked.
int RegisterTemp(const std::wstring& path) {
  for (size_t i = 0; i < g_live_temps.size(); ++i) {
    if (!g_live_temps[i].empty()) continue;
    g_live_temps[i] = path;
    return static_cast<int>(i);
  }
  g_live_temps.push_back(path);
  return static_cast<int>(g_live_temps.size() - 1);
}

// Called with the table locked.
void UnregisterTemp(int slot) {
  if (slot >= 0) g_live_temps[static_cast<size_t>(slot)].clear();
}

// The file a name stands for when the name is a symbolic link or a
// junction: the link stays, and the file it names is replaced.
std::wstring FinalName(HANDLE h, const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return name;
  std::wstring final_name(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(h, final_name.data(), static_cast<DWORD>(final_name.size()), 0);
  if (length >= final_name.size()) {
    final_name.resize(length);
    length = GetFinalPathNameByHandleW(h, final_name.data(), static_cast<DWORD>(final_name.size()), 0);
  }
  if (length == 0 || length >= final_name.size()) return name;
  final_name.resize(length);
  return final_name;
}

bool Rewind(HANDLE h) { return SetFilePointerEx(h, LARGE_INTEGER{}, nullptr, FILE_BEGIN) != 0; }

// Copies the whole of `from` (read from its start) over `to`, which is
// emptied first; false when any step fails.
bool CopyStage(HANDLE from, HANDLE to) {
  if (!Rewind(from) || !Rewind(to) || !SetEndOfFile(to)) return false;
  std::vector<uint8_t> block(1u << 20);
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(from, block.data(), static_cast<DWORD>(block.size()), &n, nullptr)) return false;
    if (n == 0) return true;
    if (!win32::WriteAll(to, block.data(), n)) return false;
  }
}

// Puts the finished temporary file in place of `target`. An existing file
// is replaced so that it keeps its attributes and security settings.
bool PutInPlace(const std::wstring& temp, const std::wstring& target) {
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
      ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                   nullptr, nullptr)) {
    return true;
  }
  return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace

WriteStatus OutputFile::OpenThrough(const std::string& target) {
  const HANDLE h = CreateFileW(Wide(target).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return WriteStatus::kCannotOpen;
  fd_ = DescriptorOf(h);
  return fd_ < 0 ? WriteStatus::kCannotOpen : WriteStatus::kOk;
}

int OutputFile::OpenStageDescriptor() {
  const HANDLE stage = static_cast<HANDLE>(win32::OpenNamelessTemp());
  return stage == INVALID_HANDLE_VALUE ? -1 : DescriptorOf(stage);
}

bool OutputFile::EmptyTarget() { return SetEndOfFile(HandleOf(fd_)) != 0; }

WriteStatus OutputFile::OpenNamed(const std::string& path) {
  InstallCleanupHandler();
  std::wstring target = Wide(path);
  bool exists = false;
  // Opened for no access at all, to learn what the name stands for.
  const HANDLE probe =
      CreateFileW(target.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // A device (CON, a serial port) opens only when access is asked for;
    // anything else that is there but cannot be looked at is not replaced.
    if (error != ERROR_FILE_NOT_FOUND) return error == ERROR_PATH_NOT_FOUND ? WriteStatus::kCannotOpen : OpenThrough(path);
  } else {
    exists = true;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool disk = GetFileType(probe) == FILE_TYPE_DISK && GetFileInformationByHandle(probe, &info);
    if (disk) target = FinalName(probe, target);
    CloseHandle(probe);
    // NUL, the console and pipes get the bytes as they come.
    if (!disk) return OpenThrough(path);
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
      return WriteStatus::kCannotOpen;
    }
    // A file the user may not write to is not replaced behind its back.
    const HANDLE writable = CreateFileW(target.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (writable == INVALID_HANDLE_VALUE) return WriteStatus::kCannotOpen;
    CloseHandle(writable);
    // Other names of the file must keep seeing it.
    if (info.nNumberOfLinks > 1) return OpenStaged(Utf8(target));
  }

  const std::string final_path = AbsolutePath(Utf8(target));
  const std::string folder = PathFolder(final_path);
  HANDLE h = INVALID_HANDLE_VALUE;
  {
    std::lock_guard<std::mutex> lock(g_live_mutex);
    for (int i = 0; i < kMaxTempTries && h == INVALID_HANDLE_VALUE; ++i) {
      temp_path_ = JoinPath(folder, ".out-" + win32::RandomSuffix());
      h = CreateFileW(Wide(temp_path_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (h != INVALID_HANDLE_VALUE) temp_slot_ = RegisterTemp(Wide(temp_path_));
  }
  if (h == INVALID_HANDLE_VALUE) {
    temp_path_.clear();
    // A folder the user may not write: the file is written in place.
    return exists ? OpenStaged(Utf8(target)) : WriteStatus::kCannotOpen;
  }
  fd_ = DescriptorOf(h);
  final_path_ = final_path;
  if (fd_ < 0) {
    Abandon();
    return WriteStatus::kCannotOpen;
  }
  return WriteStatus::kOk;
}

bool OutputFile::WriteAllTo(int fd, const void* data, size_t size) {
  return win32::WriteAll(HandleOf(fd), data, size);
}

bool OutputFile::CloseDescriptor(int fd) { return _close(fd) == 0; }

bool OutputFile::CopyStageIntoTarget() { return CopyStage(HandleOf(stage_fd_), HandleOf(fd_)); }

bool OutputFile::FinishTemp(bool keep) {
  std::lock_guard<std::mutex> lock(g_live_mutex);
  const std::wstring temp = Wide(temp_path_);
  const bool kept = keep && PutInPlace(temp, Wide(final_path_));
  if (!kept) DeleteFileW(temp.c_str());
  UnregisterTemp(temp_slot_);
  return kept;
}

}  // namespace support
