// The output writer on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "support/output_file.h"
#include "support/platform.h"
#include "support/text_parse.h"

namespace support {

namespace {
constexpr int kMaxLinkHops = 40;
// The temporary twin of an output: short, so that it fits beside any valid
// file name, and hidden.
constexpr char kTempName[] = ".out-XXXXXX";

// The descriptor that a name of the form /dev/stdout, /dev/fd/N or
// /proc/self/fd/N stands for, or -1. Opening such a name anew would reach the
// pipe or terminal only through the process's own descriptor table, and
// reading the link gives "pipe:[N]", which is no path at all.
int NamedDescriptor(const std::string& path) {
  if (path == "/dev/stdin") return STDIN_FILENO;
  if (path == "/dev/stdout") return STDOUT_FILENO;
  if (path == "/dev/stderr") return STDERR_FILENO;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const size_t length = std::strlen(prefix);
    if (path.compare(0, length, prefix) != 0) continue;
    const char* digits = path.c_str() + length;
    long long fd = -1;
    if (*digits >= '0' && *digits <= '9' && ParseDecimalStrict(digits, 0, INT_MAX, &fd)) return static_cast<int>(fd);
    return -1;
  }
  return -1;
}

// Follows symbolic links to what an open for writing would reach: a path
// (a dangling link gives the path it names) or a descriptor name. False for
// a loop or a chain too long to follow.
bool ResolveLinks(const std::string& path, std::string* target) {
  *target = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    if (NamedDescriptor(*target) >= 0) return true;
    struct stat st;
    if (lstat(target->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    if (hop == kMaxLinkHops) break;
    std::vector<char> text(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    const ssize_t n = readlink(target->c_str(), text.data(), text.size());
    if (n <= 0 || static_cast<size_t>(n) >= text.size()) return false;
    std::string link(text.data(), static_cast<size_t>(n));
    if (link[0] != '/') {
      const size_t slash = target->rfind('/');
      link = (slash == std::string::npos ? std::string() : target->substr(0, slash + 1)) + link;
    }
    *target = link;
  }
  errno = ELOOP;
  return false;
}

// A file without a name for the bytes of an output that is written in place
// at Commit(): it vanishes with its descriptor, whatever ends the process.
// -1 when the temporary folder has no room for one.
int OpenStage() {
  const char* folder = getenv("TMPDIR");
  if (folder == nullptr || folder[0] != '/') folder = "/tmp";
  int fd = -1;
#ifdef O_TMPFILE
  fd = open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
  if (fd < 0) {
    // A system or file system without nameless files: a named one, removed
    // at once.
    std::string pattern = std::string(folder) + "/.stage-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) unlink(name.data());
  }
  return fd;
}

bool WriteAll(int fd, const uint8_t* p, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Temporary files that a signal must not leave behind. The handler reads
// this table, so it holds plain arrays and flags only: blocks of slots that
// are chained as more outputs are open at once (cartcleave keeps four per
// image until the end of its run) and never freed, so that the handler can
// walk them at any moment.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kSlotsPerBlock = 16;
struct LiveTemp {
  volatile sig_atomic_t used = 0;
  char path[PATH_MAX] = {};
};
struct LiveTempBlock {
  LiveTemp slots[kSlotsPerBlock];
  std::atomic<LiveTempBlock*> next{nullptr};
};
LiveTempBlock g_live_temps;

extern "C" void RemoveTempsAndReraise(int sig) {
  const int saved_errno = errno;
  for (LiveTempBlock* block = &g_live_temps; block != nullptr; block = block->next.load()) {
    for (LiveTemp& temp : block->slots) {
      if (temp.used) unlink(temp.path);
    }
  }
  // End the way the signal would have ended the process without us.
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, sig);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(sig);
  errno = saved_errno;
}

// Installs the handler for each signal whose action is still the default:
// an ignored signal stays ignored (nohup, background jobs), and a program
// with a handler of its own keeps it.
void InstallCleanupHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  // Past the user's file size limit a write then fails, and the tool says
  // so, instead of the process ending with its temporary file on disk.
  SetAsideFileSizeSignal();
  for (int sig : kCleanupSignals) {
    struct sigaction old = {};
    if (sigaction(sig, nullptr, &old) != 0) continue;
    if ((old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL) continue;
    struct sigaction action = {};
    action.sa_handler = RemoveTempsAndReraise;
    sigemptyset(&action.sa_mask);
    for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
    sigaction(sig, &action, nullptr);
  }
}

// Holds the cleanup signals back while the table and the file system are
// brought into step.
class CleanupSignalsBlocked {
 public:
  CleanupSignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanupSignals) sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~CleanupSignalsBlocked() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  CleanupSignalsBlocked(const CleanupSignalsBlocked&) = delete;
  CleanupSignalsBlocked& operator=(const CleanupSignalsBlocked&) = delete;

 private:
  sigset_t old_;
};

// Slot `slot` of the chain, counting from the first block.
LiveTemp& SlotAt(int slot) {
  LiveTempBlock* block = &g_live_temps;
  for (int skip = slot / kSlotsPerBlock; skip > 0; --skip) block = block->next.load();
  return block->slots[slot % kSlotsPerBlock];
}

// Called with the cleanup signals blocked. -1 when the path is too long or
// no memory is left for another block: the file is then not cleaned up.
int RegisterTemp(const std::string& path) {
  if (path.size() >= sizeof(LiveTemp::path)) return -1;
  int index = 0;
  for (LiveTempBlock* block = &g_live_temps;; block = block->next.load()) {
    for (LiveTemp& temp : block->slots) {
      if (!temp.used) {
        std::memcpy(temp.path, path.c_str(), path.size() + 1);
        temp.used = 1;
        return index;
      }
      ++index;
    }
    if (block->next.load() == nullptr) {
      LiveTempBlock* more = new (std::nothrow) LiveTempBlock;
      if (more == nullptr) return -1;
      block->next.store(more);
    }
  }
}

void UnregisterTemp(int slot) {
  if (slot >= 0) SlotAt(slot).used = 0;
}

// Whether a rename over the existing regular file `st` at `target` would
// keep what the user has: the same single name, owner and a folder the user
// may change. Otherwise the file is written in place.
bool MayReplace(const std::string& target, const struct stat& st) {
  if (st.st_nlink != 1 || st.st_uid != geteuid()) return false;
  return faccessat(AT_FDCWD, PathFolder(target).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Copies the whole of `from` (read from its start) to `to`; false when any
// read or write fails.
bool CopyStage(int from, int to) {
  std::vector<uint8_t> block(1u << 20);
  for (off_t at = 0;;) {
    const ssize_t n = pread(from, block.data(), block.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteAll(to, block.data(), static_cast<size_t>(n))) return false;
    at += n;
  }
}

}  // namespace

WriteStatus OutputFile::OpenThrough(const std::string& target) {
  fd_ = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  return fd_ < 0 ? WriteStatus::kCannotOpen : WriteStatus::kOk;
}

int OutputFile::OpenStageDescriptor() { return OpenStage(); }

bool OutputFile::EmptyTarget() { return ftruncate(fd_, 0) == 0; }

WriteStatus OutputFile::OpenNamed(const std::string& path) {
  InstallCleanupHandlers();
  std::string target;
  if (!ResolveLinks(path, &target)) return WriteStatus::kCannotOpen;
  const int named = NamedDescriptor(target);
  if (named >= 0) {
    const int flags = fcntl(named, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return WriteStatus::kCannotOpen;
    // Whatever the program printed before must come out first.
    if (named == STDOUT_FILENO) fflush(stdout);
    if (named == STDERR_FILENO) fflush(stderr);
    fd_ = fcntl(named, F_DUPFD_CLOEXEC, 0);
    return fd_ < 0 ? WriteStatus::kCannotOpen : WriteStatus::kOk;
  }
  struct stat st;
  const bool exists = stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return WriteStatus::kCannotOpen;  // a loop inside the path, say
  if (exists && S_ISDIR(st.st_mode)) return WriteStatus::kCannotOpen;
  if (exists && !S_ISREG(st.st_mode)) return OpenThrough(target);
  // A file the user may not write to is not replaced behind its back.
  if (exists && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return WriteStatus::kCannotOpen;
  if (exists && !MayReplace(target, st)) return OpenStaged(target);

  target = AbsolutePath(target);
  const std::string folder = PathFolder(target);
  std::string pattern = (folder == "/" ? folder : folder + "/") + kTempName;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  {
    CleanupSignalsBlocked blocked;
    InstallCleanupHandlers();
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) return WriteStatus::kCannotOpen;
    temp_slot_ = RegisterTemp(name.data());
  }
  temp_path_.assign(name.data());
  final_path_ = target;
  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
    struct stat temp;
    if (fstat(fd_, &temp) == 0 && temp.st_gid != st.st_gid && fchown(fd_, static_cast<uid_t>(-1), st.st_gid) != 0) {
      // The user is not in the file's group: only writing in place keeps it.
      Abandon();
      return OpenStaged(target);
    }
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd_, mode);
  return WriteStatus::kOk;
}

bool OutputFile::WriteAllTo(int fd, const void* data, size_t size) {
  return WriteAll(fd, static_cast<const uint8_t*>(data), size);
}

bool OutputFile::CloseDescriptor(int fd) { return close(fd) == 0; }

bool OutputFile::CopyStageIntoTarget() { return ftruncate(fd_, 0) == 0 && CopyStage(stage_fd_, fd_); }

bool OutputFile::FinishTemp(bool keep) {
  CleanupSignalsBlocked blocked;
  const bool kept = keep && rename(temp_path_.c_str(), final_path_.c_str()) == 0;
  if (!kept) unlink(temp_path_.c_str());
  UnregisterTemp(temp_slot_);
  return kept;
}

}  // namespace support
