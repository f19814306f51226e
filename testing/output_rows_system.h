// What the output rows share with their system-specific half
// (output_rows_posix.cc, output_rows_win32.cc): the row folders, and what the
// rows ask of the system. Not part of the testing interface.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace testing_support {
namespace rows {

using testing_support::RunsAsRoot;  // the rows then run as RowUser()
/// Gives `path` (a link itself, not what it names) to `user`.
bool GiveTo(const std::string& path, const User& user);
/// Sets the permission bits of `path` (on Windows only the write bit of a file counts).
bool SetMode(const std::string& path, unsigned mode);
/// Whether `path` belongs to root and has the permission bits `mode`.
bool OwnedByRootWithMode(const std::string& path, unsigned mode);

/// Feeds `bytes` into the named pipe `path` from a thread of its own, for as
/// long as the row runs; a program that never opens the pipe does not keep
/// the thread waiting once the row ends.
class PipeFeeder {
 public:
  PipeFeeder(std::string path, std::string bytes);
  ~PipeFeeder();
  PipeFeeder(const PipeFeeder&) = delete;
  PipeFeeder& operator=(const PipeFeeder&) = delete;

 private:
  std::string path_;
  std::string bytes_;
  std::thread thread_;
};

inline std::vector<std::string> NamesOf(const FileList& files, std::vector<std::string> more = {}) {
  for (const auto& file : files) more.push_back(file.first);
  std::sort(more.begin(), more.end());
  return more;
}

/// Standard output of a successful run of `tool` that wrote `output`, the
/// output itself apart.
inline std::string SuccessOut(const OutputTool& tool, const std::string& output) {
  return tool.success_out_of ? tool.success_out_of(output) : tool.success_out;
}

using ArgsFor = std::function<std::vector<std::string>(const std::string& output)>;

/// What an existing output holds before a row runs.
inline const char* const kOldOutput = "the old output\n";

/// One row's folder: the inputs, owned by the user the program runs as.
class Row {
 public:
  Row(const std::string& program, const ArgsFor& args, const std::optional<User>& user, const FileList& inputs)
      : program_(program), args_(args), user_(user) {
    if (user_ && RunsAsRoot()) {
      SetMode(dir_.path(), 0755);
      Own(dir_.path());
    }
    for (const auto& [name, bytes] : inputs) Put(name, bytes);
  }

  void Put(const std::string& name, const std::string& bytes) {
    dir_.Write(name, bytes);
    Own(dir_.File(name));
  }
  void Own(const std::string& path) {
    if (user_ && RunsAsRoot()) {
      ASSERT_TRUE(GiveTo(path, *user_)) << path;
    }
  }
  RunResult Run(const std::string& output, RunOptions options = {}) {
    if (user_ && RunsAsRoot()) {
      options.uid = static_cast<int>(user_->uid);
      options.gid = static_cast<int>(user_->gid);
    }
    return RunProgram(program_, args_(output), dir_.path(), options);
  }
  const TempDir& dir() const { return dir_; }

 private:
  const std::string& program_;
  const ArgsFor& args_;
  std::optional<User> user_;
  TempDir dir_;
};

/// A row of the output rows, which know how a tool's success and open failure read.
class OutputRow : public Row {
 public:
  OutputRow(const OutputTool& tool, const std::optional<User>& user, const FileList& inputs)
      : Row(tool.program, tool.args, user, inputs), tool_(tool) {}

  RunResult Run(const std::string& output, RunOptions options = {}) {
    output_ = output;
    return Row::Run(output, options);
  }
  /// `r` is the last run's.
  void ExpectSuccess(const RunResult& r) {
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, SuccessOut(tool_, output_));
    EXPECT_EQ(r.err, "");
  }
  void ExpectOpenFailure(const RunResult& r, const std::string& output) {
    EXPECT_EQ(r.status, tool_.open_failure_status);
    EXPECT_EQ(r.out, tool_.open_failure_out);
    EXPECT_EQ(r.err, tool_.open_failure_err(output));
  }

 private:
  const OutputTool& tool_;
  std::string output_;
};

/// The rows that send signals while an output is written.
void SignalRows(const OutputTool& tool, const std::optional<User>& user);

}  // namespace rows
}  // namespace testing_support
