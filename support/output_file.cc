// The output writer's life, shared by every system: opening is each
// system's own (output_file_<system>.cc), and so are the few steps below
// that touch the file system.
#include "support/output_file.h"

namespace support {

OutputFile::~OutputFile() { Abandon(); }

WriteStatus OutputFile::Open(const std::string& path) {
  Abandon();
  failed_ = false;
  if (path.empty()) return WriteStatus::kCannotOpen;
  return OpenNamed(path);
}

WriteStatus OutputFile::OpenStaged(const std::string& target) {
  // Opened now, so that a file the user may not write fails here, but left
  // as it is until Commit().
  const WriteStatus opened = OpenThrough(target);
  if (opened != WriteStatus::kOk) return opened;
  stage_fd_ = OpenStageDescriptor();
  // No room to stage the bytes: they go straight into the emptied file, as
  // they come, or the file is not opened at all.
  if (stage_fd_ < 0 && !EmptyTarget()) {
    CloseDescriptor(fd_);
    fd_ = -1;
    return WriteStatus::kCannotOpen;
  }
  return WriteStatus::kOk;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (fd_ < 0 || failed_) return false;
  if (!WriteAllTo(stage_fd_ >= 0 ? stage_fd_ : fd_, data, size)) failed_ = true;
  return !failed_;
}

WriteStatus OutputFile::Commit() {
  if (fd_ < 0) return WriteStatus::kCannotOpen;
  if (stage_fd_ >= 0) {
    // Only now does the file in place change: a run that failed before
    // leaves it as it was.
    if (!failed_ && !CopyStageIntoTarget()) failed_ = true;
    CloseDescriptor(stage_fd_);
    stage_fd_ = -1;
  }
  const bool closed = CloseDescriptor(fd_);
  fd_ = -1;
  WriteStatus status = WriteStatus::kOk;
  if (failed_) {
    status = WriteStatus::kWriteError;
  } else if (!closed) {
    status = WriteStatus::kCloseError;
  }
  if (!temp_path_.empty() && !FinishTemp(status == WriteStatus::kOk) && status == WriteStatus::kOk) {
    status = WriteStatus::kCannotOpen;
  }
  temp_slot_ = -1;
  temp_path_.clear();
  final_path_.clear();
  return status;
}

void OutputFile::Abandon() {
  if (stage_fd_ >= 0) CloseDescriptor(stage_fd_);
  stage_fd_ = -1;
  if (fd_ >= 0) CloseDescriptor(fd_);
  fd_ = -1;
  if (!temp_path_.empty()) FinishTemp(false);
  temp_slot_ = -1;
  temp_path_.clear();
  final_path_.clear();
}

}  // namespace support
