#include "support/file_io.h"

#include <cstdint>
#include <cstdio>
#include <new>

#include "support/output_file.h"
#include "support/platform.h"

namespace support {

ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data) {
  return ReadWholeFile(path, data, UINT64_MAX, nullptr);
}

ReadStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, uint64_t max_size,
                         FileFacts* facts) {
  FileFacts ignored;
  if (facts == nullptr) facts = &ignored;
  *facts = FileFacts();
  File file;
  switch (file.Open(path, File::Mode::kReadRegular)) {
    case File::OpenStatus::kOk:
      break;
    case File::OpenStatus::kCannotOpen:
      return ReadStatus::kCannotOpen;
    case File::OpenStatus::kIsDirectory:
      facts->is_directory = true;
      return ReadStatus::kNotRegular;
    case File::OpenStatus::kNotRegular:
      return ReadStatus::kNotRegular;
  }
  facts->size = file.size();
  if (facts->size > max_size || facts->size > SIZE_MAX) return ReadStatus::kNoMemory;
  data->clear();
  try {
    data->resize(static_cast<size_t>(facts->size));
  } catch (const std::bad_alloc&) {
    return ReadStatus::kNoMemory;
  }
  // A file that shrank since its status was read is a read error.
  if (file.Read(data->data(), data->size()) != static_cast<long long>(data->size())) return ReadStatus::kReadError;
  return ReadStatus::kOk;
}

WriteStatus WriteOutputFile(const std::string& path, const void* data, size_t size) {
  OutputFile out;
  const WriteStatus opened = out.Open(path);
  if (opened != WriteStatus::kOk) return opened;
  out.Write(data, size);
  return out.Commit();
}

bool FlushStdout() { return fflush(stdout) == 0 && !ferror(stdout); }

int CloseStdout(int status, const char* failure_message) {
  if (!FlushStdout()) {
    // A run that otherwise failed has said why already.
    if (status == 0) {
      status = 1;
      if (failure_message != nullptr) fputs(failure_message, stderr);
    }
  }
  return status;
}

}  // namespace support
