#include "support/file_io.h"

#include "support/output_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace support {

ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data) {
  // Non-blocking, so that a named pipe without a writer cannot hang the open;
  // only regular files are read.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return ReadStatus::kCannotOpen;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return ReadStatus::kReadError;
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return ReadStatus::kNotRegular;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  data->clear();
  try {
    data->resize(static_cast<size_t>(st.st_size));
  } catch (const std::bad_alloc&) {
    close(fd);
    return ReadStatus::kNoMemory;
  }
  size_t got = 0;
  while (got < data->size()) {
    ssize_t n = read(fd, data->data() + got, data->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      return ReadStatus::kReadError;
    }
    got += static_cast<size_t>(n);
  }
  close(fd);
  return ReadStatus::kOk;
}

namespace {
constexpr int kMaxLinkHops = 40;

// Follows symbolic links (also dangling ones) to the path that an open for
// writing would create or truncate.
std::string ResolveLinks(const std::string& path) {
  std::string target = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st;
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::vector<char> text(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = readlink(target.c_str(), text.data(), text.size());
    if (n < 0 || static_cast<size_t>(n) >= text.size()) break;
    std::string link(text.data(), static_cast<size_t>(n));
    if (link.empty()) break;
    if (link[0] != '/') {
      const size_t slash = target.rfind('/');
      link = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + link;
    }
    target = link;
  }
  return target;
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

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

WriteStatus OutputFile::Open(const std::string& path) {
  Abandon();
  failed_ = false;
  if (path.empty()) return WriteStatus::kCannotOpen;
  const std::string target = ResolveLinks(path);
  struct stat st;
  const bool exists = stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return WriteStatus::kCannotOpen;
  if (exists && !S_ISREG(st.st_mode)) {
    fd_ = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ < 0 ? WriteStatus::kCannotOpen : WriteStatus::kOk;
  }
  // A file the user may not write to is not replaced behind its back.
  if (exists && access(target.c_str(), W_OK) != 0) return WriteStatus::kCannotOpen;
  std::string pattern = target + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = mkstemp(name.data());
  if (fd_ < 0) return WriteStatus::kCannotOpen;
  temp_path_.assign(name.data());
  final_path_ = target;
  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd_, mode);
  return WriteStatus::kOk;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (fd_ < 0 || failed_) return false;
  if (!WriteAll(fd_, static_cast<const uint8_t*>(data), size)) failed_ = true;
  return !failed_;
}

WriteStatus OutputFile::Commit() {
  if (fd_ < 0) return WriteStatus::kCannotOpen;
  const bool closed = close(fd_) == 0;
  fd_ = -1;
  WriteStatus status = WriteStatus::kOk;
  if (failed_) {
    status = WriteStatus::kWriteError;
  } else if (!closed) {
    status = WriteStatus::kCloseError;
  } else if (!temp_path_.empty() && rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
    status = WriteStatus::kCannotOpen;
  }
  if (status != WriteStatus::kOk && !temp_path_.empty()) unlink(temp_path_.c_str());
  temp_path_.clear();
  final_path_.clear();
  return status;
}

void OutputFile::Abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_path_.empty()) unlink(temp_path_.c_str());
  temp_path_.clear();
  final_path_.clear();
}

WriteStatus WriteOutputFile(const std::string& path, const void* data, size_t size) {
  OutputFile out;
  const WriteStatus opened = out.Open(path);
  if (opened != WriteStatus::kOk) return opened;
  out.Write(data, size);
  return out.Commit();
}

int CloseStdout(int status, const char* failure_message) {
  if (fflush(stdout) != 0 || ferror(stdout)) {
    // A run that otherwise failed has said why already.
    if (status == 0) {
      status = 1;
      if (failure_message != nullptr) fputs(failure_message, stderr);
    }
  }
  return status;
}

}  // namespace support
