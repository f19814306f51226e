// The platform layer on POSIX systems.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/platform.h"

namespace support {
namespace {

FileKind KindOf(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return FileKind::kRegular;
  if (S_ISDIR(st.st_mode)) return FileKind::kDirectory;
  return FileKind::kOther;
}

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  return id;
}

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

std::atomic<bool>* g_interrupt_flag = nullptr;

extern "C" void OnInterrupt(int) {
  if (g_interrupt_flag != nullptr) g_interrupt_flag->store(true);
}

}  // namespace

FileKind StatFile(const std::string& path, FileIdentity* identity, uint64_t* size) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return FileKind::kMissing;
  if (identity != nullptr) *identity = IdentityOf(st);
  if (size != nullptr) *size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  return KindOf(st);
}

File::OpenStatus File::Open(const std::string& path, Mode mode) {
  Close();
  const bool regular_only = mode != Mode::kReadAny;
  int flags = (mode == Mode::kReadWriteRegular ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  // Non-blocking, so that a named pipe without a writer cannot hang the open
  // of a file that is then refused for being one.
  if (regular_only) flags |= O_NONBLOCK;
  const int fd = open(path.c_str(), flags);
  if (fd < 0) return errno == EISDIR ? OpenStatus::kIsDirectory : OpenStatus::kCannotOpen;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return OpenStatus::kCannotOpen;
  }
  const FileKind kind = KindOf(st);
  if (kind == FileKind::kDirectory || (regular_only && kind != FileKind::kRegular)) {
    close(fd);
    return kind == FileKind::kDirectory ? OpenStatus::kIsDirectory : OpenStatus::kNotRegular;
  }
  if (regular_only) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle_ = fd;
  owned_ = true;
  regular_ = kind == FileKind::kRegular;
  size_ = regular_ ? static_cast<uint64_t>(st.st_size) : 0;
  identity_ = IdentityOf(st);
  return OpenStatus::kOk;
}

void File::OpenStandardInput() {
  Close();
  handle_ = STDIN_FILENO;
  owned_ = false;
  struct stat st;
  if (fstat(STDIN_FILENO, &st) == 0) {
    regular_ = S_ISREG(st.st_mode);
    size_ = regular_ ? static_cast<uint64_t>(st.st_size) : 0;
    identity_ = IdentityOf(st);
  }
}

long long File::Read(void* data, size_t size) {
  if (handle_ < 0) return -1;
  size_t got = 0;
  while (got < size) {
    const ssize_t n = read(Descriptor(handle_), static_cast<uint8_t*>(data) + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<long long>(got);
}

long long File::ReadAt(uint64_t offset, void* data, size_t size) const {
  if (handle_ < 0) return -1;
  size_t got = 0;
  while (got < size) {
    const ssize_t n =
        pread(Descriptor(handle_), static_cast<uint8_t*>(data) + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<long long>(got);
}

bool File::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (handle_ < 0) return false;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(Descriptor(handle_), static_cast<const uint8_t*>(data) + done, size - done,
                             static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool File::Seek(uint64_t offset) {
  return handle_ >= 0 && lseek(Descriptor(handle_), static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool File::CloseNative(intptr_t handle) { return close(Descriptor(handle)) == 0; }

bool WriteStandardOutput(const void* data, size_t size) {
  if (fflush(stdout) != 0) return false;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(STDOUT_FILENO, static_cast<const uint8_t*>(data) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void SetBinaryMode(std::FILE*) {}

void SetTextMode(std::FILE*) {}

void CatchInterrupt(std::atomic<bool>* flag) {
  static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt handler sets the flag");
  g_interrupt_flag = flag;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  // Restarted calls keep a break from cutting a write of program text short.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

void SetAsideFileSizeSignal() {
  struct sigaction action = {};
  if (sigaction(SIGXFSZ, nullptr, &action) != 0) return;
  if ((action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_DFL) signal(SIGXFSZ, SIG_IGN);
}

void PrepareArguments(int*, char***) {}

namespace {

// Whether a folder of LD_LIBRARY_PATH holds `file_name`: a library found
// there but failing to load must be reported, not replaced by another.
bool OnLibraryPath(const std::string& file_name) {
  const char* list = std::getenv("LD_LIBRARY_PATH");
  if (list == nullptr) return false;
  const std::string folders = list;
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    if (access(JoinPath(folder, file_name).c_str(), F_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool SharedLibrary::Load(const std::string& file_name, const std::string& fallback_folder, std::string* why) {
  Release();
  handle_ = dlopen(file_name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ != nullptr) return true;
  const char* text = dlerror();
  *why = text != nullptr ? text : "unknown reason";
  // The program's run path applies only when the dynamic loader sees the
  // program itself as the caller; a library that intercepts dlopen (a
  // sanitizer runtime, for one) hides it. Follow it explicitly then.
  if (fallback_folder.empty() || OnLibraryPath(file_name)) return false;
  std::string folder = fallback_folder;
  if (!IsAbsolutePath(folder)) {
    const std::string program = ProgramFolder();
    if (program.empty()) return false;
    folder = JoinPath(program, folder);
  }
  handle_ = dlopen(JoinPath(folder, file_name).c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void* SharedLibrary::Find(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  dlerror();
  return dlsym(handle_, name);
}

void SharedLibrary::Release() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

std::string ProgramFolder() {
  // Linux names the program in /proc; elsewhere the folder is unknown and
  // callers fall back on the system's own search.
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  return PathFolder(std::string(path, static_cast<size_t>(length)));
}

std::string CurrentFolder() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    if (errno != ERANGE || buffer.size() > (size_t{1} << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool ChangeFolder(const std::string& path) { return chdir(path.c_str()) == 0; }

std::string PathFolder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string AbsolutePath(const std::string& path) {
  if (IsAbsolutePath(path)) return path;
  const std::string cwd = CurrentFolder();
  if (cwd.empty()) return path;
  return JoinPath(cwd, path);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// Scratch files.

std::FILE* OpenScratchFile() { return std::tmpfile(); }

}  // namespace support
