#include "support/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <new>

namespace support {

ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data) {
  return ReadWholeFile(path, data, UINT64_MAX, nullptr);
}

ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, uint64_t max_size,
                         FileFacts* facts) {
  FileFacts ignored;
  if (facts == nullptr) facts = &ignored;
  *facts = FileFacts();
  // Non-blocking, so that a named pipe without a writer cannot hang the open;
  // only regular files are read.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return ReadStatus::kCannotOpen;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return ReadStatus::kReadError;
  }
  facts->is_directory = S_ISDIR(st.st_mode);
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return ReadStatus::kNotRegular;
  }
  facts->size = static_cast<uint64_t>(st.st_size);
  if (facts->size > max_size || facts->size > SIZE_MAX) {
    close(fd);
    return ReadStatus::kNoMemory;
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
