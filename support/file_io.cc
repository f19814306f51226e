#include "support/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace support {

ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
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
  data->clear();
  data->resize(static_cast<size_t>(st.st_size));
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

bool WriteFileAtomically(const std::string& path, const void* data, size_t size) {
  std::string tmpl = path + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return false;
  // mkstemp creates the file 0600; give it the usual permissions instead.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  const uint8_t* p = static_cast<const uint8_t*>(data);
  size_t done = 0;
  bool ok = true;
  while (done < size) {
    ssize_t n = write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(name.data(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(name.data());
    errno = saved;
  }
  return ok;
}

int CloseStdout(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) {
    if (status == 0) status = 1;
  }
  return status;
}

}  // namespace support
