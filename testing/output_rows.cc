#include "testing/output_rows.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <optional>
#include <thread>

#include "testing/run_program.h"

namespace testing_support {

namespace {

ino_t InodeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

bool IsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::vector<std::string> NamesOf(const FileList& files, std::vector<std::string> more = {}) {
  for (const auto& file : files) more.push_back(file.first);
  std::sort(more.begin(), more.end());
  return more;
}

using ArgsFor = std::function<std::vector<std::string>(const std::string& output)>;

// One row's folder: the inputs, owned by the user the program runs as.
// What an existing output holds before a row runs.
const char* const kOldOutput = "the old output\n";

class Row {
 public:
  Row(const std::string& program, const ArgsFor& args, const std::optional<User>& user, const FileList& inputs)
      : program_(program), args_(args), user_(user) {
    if (user_ && geteuid() == 0) {
      chmod(dir_.path().c_str(), 0755);
      Own(dir_.path());
    }
    for (const auto& [name, bytes] : inputs) Put(name, bytes);
  }

  void Put(const std::string& name, const std::string& bytes) {
    dir_.Write(name, bytes);
    Own(dir_.File(name));
  }
  void Own(const std::string& path) {
    if (user_ && geteuid() == 0) {
      ASSERT_EQ(lchown(path.c_str(), user_->uid, user_->gid), 0) << path;
    }
  }
  RunResult Run(const std::string& output, RunOptions options = {}) {
    if (user_ && geteuid() == 0) {
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

// A row of the output rows, which know how a tool's success and open failure read.
class OutputRow : public Row {
 public:
  OutputRow(const OutputTool& tool, const std::optional<User>& user, const FileList& inputs)
      : Row(tool.program, tool.args, user, inputs), tool_(tool) {}

  void ExpectSuccess(const RunResult& r) {
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, tool_.success_out);
    EXPECT_EQ(r.err, "");
  }
  void ExpectOpenFailure(const RunResult& r, const std::string& output) {
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, tool_.open_failure_out);
    EXPECT_EQ(r.err, tool_.open_failure_err(output));
  }

 private:
  const OutputTool& tool_;
};

void DescriptorRows(const OutputTool& tool, const std::optional<User>& user) {
  for (const std::string name : {"/dev/stdout", "/proc/self/fd/1"}) {
    SCOPED_TRACE(name);
    OutputRow row(tool, user, tool.inputs);
    RunResult r = row.Run(name);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == tool.expected + tool.success_out) << r.out.size() << " bytes on stdout";
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs));
  }
  SCOPED_TRACE("/dev/fd/2");
  OutputRow row(tool, user, tool.inputs);
  RunResult r = row.Run("/dev/fd/2");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, tool.success_out);
  EXPECT_TRUE(r.err == tool.expected) << r.err.size() << " bytes on stderr";
}

void IdentityRows(const OutputTool& tool, const std::optional<User>& user) {
  {
    SCOPED_TRACE("a file with a second hard link");
    OutputRow row(tool, user, tool.inputs);
    row.Put("out", "old");
    ASSERT_EQ(link(row.dir().File("out").c_str(), row.dir().File("other").c_str()), 0);
    const ino_t inode = InodeOf(row.dir().File("out"));
    row.ExpectSuccess(row.Run("out"));
    EXPECT_EQ(InodeOf(row.dir().File("out")), inode);
    EXPECT_TRUE(row.dir().Read("other") == tool.expected);
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs, {"other", "out"}));
  }
  if (!user) {
    std::cerr << "note: no unprivileged user, so the folder and owner rows are skipped\n";
    return;
  }
  {
    SCOPED_TRACE("a writable file in a folder the user may not write");
    OutputRow row(tool, user, tool.inputs);
    row.Put("ro/out", "old contents");
    ASSERT_EQ(chmod(row.dir().File("ro").c_str(), 0555), 0);
    row.Own(row.dir().File("ro"));
    const ino_t inode = InodeOf(row.dir().File("ro/out"));
    row.ExpectSuccess(row.Run("ro/out"));
    EXPECT_EQ(InodeOf(row.dir().File("ro/out")), inode);
    EXPECT_TRUE(row.dir().Read("ro/out") == tool.expected);
  }
  if (geteuid() == 0) {
    SCOPED_TRACE("a file owned by another user in a sticky folder");
    OutputRow row(tool, user, tool.inputs);
    row.dir().Write("shared/out", "old");
    ASSERT_EQ(chmod(row.dir().File("shared").c_str(), 01777), 0);
    ASSERT_EQ(chmod(row.dir().File("shared/out").c_str(), 0666), 0);
    row.ExpectSuccess(row.Run("shared/out"));
    struct stat st;
    ASSERT_EQ(stat(row.dir().File("shared/out").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_TRUE(row.dir().Read("shared/out") == tool.expected);
  }
}

void NameAndLinkRows(const OutputTool& tool, const std::optional<User>& user) {
  {
    SCOPED_TRACE("a name of 255 characters");
    OutputRow row(tool, user, tool.inputs);
    const std::string name(255, 'n');
    row.ExpectSuccess(row.Run(name));
    EXPECT_TRUE(row.dir().Exists(name) && row.dir().Read(name) == tool.expected);
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs, {name}));
  }
  struct LinkCase {
    const char* what;
    const char* link;
    const char* target;
  } cases[] = {
      {"a link to itself", "loop", "loop"},
      {"two links in a loop", "a", "b"},
      {"a dangling link into a missing folder", "dangling", "missing/out"},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.what);
    OutputRow row(tool, user, tool.inputs);
    ASSERT_EQ(symlink(c.target, row.dir().File(c.link).c_str()), 0);
    std::vector<std::string> names = {c.link};
    if (std::string(c.link) == "a") {
      ASSERT_EQ(symlink("a", row.dir().File("b").c_str()), 0);
      names.push_back("b");
    }
    row.ExpectOpenFailure(row.Run(c.link), c.link);
    EXPECT_TRUE(IsLink(row.dir().File(c.link)));
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs, names));
  }
}

void SignalRows(const OutputTool& tool, const std::optional<User>& user) {
  for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    // The signal goes out as soon as the temporary file appears; should the
    // program still finish first (on a busy machine it can even put the
    // output in place before the signal lands), the row is tried again.
    bool interrupted = false;
    for (int attempt = 0; attempt < 5 && !interrupted; ++attempt) {
      OutputRow row(tool, user, tool.large_inputs);
      RunOptions options;
      options.signal_when_created = row.dir().path();
      options.signal_number = sig;
      options.no_core_dump = true;
      const RunResult r = row.Run("big.out", options);
      const std::vector<std::string> names = row.dir().List();
      if (r.signaled && names == NamesOf(tool.large_inputs)) {
        EXPECT_EQ(r.status, 128 + sig);
        interrupted = true;
      } else if (r.signaled) {
        // Only a finished output may be there: never a temporary file.
        EXPECT_EQ(names, NamesOf(tool.large_inputs, {"big.out"}));
      } else {
        EXPECT_EQ(r.status, 0) << r.err;
      }
    }
    EXPECT_TRUE(interrupted) << "the program always finished before the signal";
  }
  {
    // A crash cannot clean up: the temporary file may stay, but the output
    // it was to replace is whole.
    SCOPED_TRACE("SIGKILL while an existing output is replaced");
    std::string complete;
    {
      OutputRow row(tool, user, tool.large_inputs);
      ASSERT_EQ(row.Run("big.out").status, 0);
      complete = row.dir().Read("big.out");
    }
    bool killed = false;
    for (int attempt = 0; attempt < 5 && !killed; ++attempt) {
      OutputRow row(tool, user, tool.large_inputs);
      row.Put("big.out", kOldOutput);
      RunOptions options;
      options.signal_when_created = row.dir().path();
      options.signal_number = SIGKILL;
      const RunResult r = row.Run("big.out", options);
      if (!r.signaled) {
        EXPECT_EQ(r.status, 0) << r.err;
        continue;
      }
      killed = true;
      const std::string now = row.dir().Read("big.out");
      EXPECT_TRUE(now == kOldOutput || now == complete) << "the output was left partly written";
      for (const std::string& name : row.dir().List()) {
        const bool known = name == "big.out" || name.rfind(".out-", 0) == 0 ||
                           std::any_of(tool.large_inputs.begin(), tool.large_inputs.end(),
                                       [&](const auto& file) { return file.first == name; });
        EXPECT_TRUE(known) << name;
      }
    }
    EXPECT_TRUE(killed) << "the program always finished before the signal";
  }
}



const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kFullDevice: return "the output is /dev/full";
    case Fault::kDiskFull: return "the disk fills while the output is written";
    case Fault::kFolderNotWritable: return "a new output in a folder the user may not write";
    case Fault::kOutputIsFolder: return "the output names a folder";
    case Fault::kInputMissing: return "the input vanished";
    case Fault::kInputIsFolder: return "the input names a folder";
    case Fault::kInputIsFifo: return "the input is a named pipe";
    case Fault::kInputTruncated: return "the input is cut short";
    case Fault::kOutputIsInput: return "the output is an input";
    case Fault::kStdoutFull: return "standard output is /dev/full";
  }
  return "?";
}

// Feeds `bytes` into the named pipe `path` from a thread of its own, for as
// long as the row runs; a program that never opens the pipe does not keep the
// thread waiting once the row ends.
class PipeFeeder {
 public:
  PipeFeeder(std::string path, std::string bytes) : path_(std::move(path)), bytes_(std::move(bytes)) {
    thread_ = std::thread([this] {
      const int fd = open(path_.c_str(), O_WRONLY | O_CLOEXEC);
      if (fd < 0) return;
      for (size_t done = 0; done < bytes_.size();) {
        const ssize_t n = write(fd, bytes_.data() + done, bytes_.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      close(fd);
    });
  }
  ~PipeFeeder() {
    // Opening the reading end lets a writer still waiting in open go on.
    const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    thread_.join();
    if (fd >= 0) close(fd);
  }
  PipeFeeder(const PipeFeeder&) = delete;
  PipeFeeder& operator=(const PipeFeeder&) = delete;

 private:
  std::string path_;
  std::string bytes_;
  std::thread thread_;
};

// `linked`: the old output has a second name, so it is written in place.
void FaultRow(const FaultTool& tool, const std::optional<User>& user, Fault fault, bool linked = false) {
  SCOPED_TRACE(std::string(FaultName(fault)) + (linked ? ", into an output with a second name" : ""));
  Row row(tool.program, tool.args, user, tool.inputs);
  if (tool.writes_output) row.Put("out", kOldOutput);
  std::vector<std::string> extra;  // entries the row adds beside the inputs and "out"
  if (linked) {
    ASSERT_EQ(link(row.dir().File("out").c_str(), row.dir().File("out.link").c_str()), 0);
    extra.push_back("out.link");
  }
  std::string output = "out";
  std::string path = output;
  RunOptions options;
  options.timeout_seconds = 20;
  options.env = tool.env;
  std::optional<PipeFeeder> feeder;
  const std::string input_bytes = [&] {
    for (const auto& [name, bytes] : tool.inputs) {
      if (name == tool.input) return bytes;
    }
    return std::string();
  }();
  switch (fault) {
    case Fault::kFullDevice:
      output = path = "/dev/full";
      break;
    case Fault::kDiskFull:
      // Half the output fits: a write fails part of the way, as on a full disk
      // (the writer sets the file size limit's signal aside).
      options.file_size_limit = static_cast<long long>(tool.expected.size() / 2);
      break;
    case Fault::kFolderNotWritable:
      output = path = "ro/out";
      ASSERT_EQ(mkdir(row.dir().File("ro").c_str(), 0555), 0);
      row.Own(row.dir().File("ro"));
      extra.push_back("ro");
      break;
    case Fault::kOutputIsFolder:
      ASSERT_EQ(unlink(row.dir().File("out").c_str()), 0);
      row.Put("out/keep", "kept\n");
      break;
    case Fault::kInputMissing:
    case Fault::kInputIsFolder:
    case Fault::kInputIsFifo:
    case Fault::kInputTruncated:
      path = tool.input;
      ASSERT_EQ(unlink(row.dir().File(tool.input).c_str()), 0) << tool.input;
      if (fault == Fault::kInputIsFolder) {
        row.Put(tool.input + "/keep", "kept\n");
      } else if (fault == Fault::kInputIsFifo) {
        ASSERT_EQ(mkfifo(row.dir().File(tool.input).c_str(), 0666), 0);
        row.Own(row.dir().File(tool.input));
        feeder.emplace(row.dir().File(tool.input), input_bytes);
      } else if (fault == Fault::kInputTruncated) {
        row.Put(tool.input, tool.truncated);
      }
      break;
    case Fault::kStdoutFull:
      options.stdout_path = "/dev/full";
      break;
    case Fault::kOutputIsInput:
      break;
  }
  const Outcome want = tool.outcome(fault, path);
  const RunResult r = row.Run(output, options);
  feeder.reset();
  EXPECT_EQ(r.status, want.status) << r.err;
  EXPECT_EQ(r.out, want.out);
  EXPECT_EQ(r.err, want.err);
  if (tool.writes_output) {
    if (fault == Fault::kOutputIsFolder) {
      EXPECT_EQ(row.dir().Read("out/keep"), "kept\n");
    } else if (r.status != 0) {
      EXPECT_EQ(row.dir().Read("out"), kOldOutput) << "the old output was damaged";
      if (linked) {
        EXPECT_EQ(row.dir().Read("out.link"), kOldOutput) << "the old output was damaged";
      }
    } else if (output == "out") {
      const std::string& good = fault == Fault::kInputTruncated ? tool.truncated_expected : tool.expected;
      EXPECT_TRUE(row.dir().Read("out") == good) << "the output differs from a good run's";
    }
    if (fault == Fault::kFolderNotWritable) {
      EXPECT_FALSE(row.dir().Exists("ro/out"));
    }
  }
  // Nothing is left behind: no temporary file, no stray output.
  if (tool.writes_output) extra.push_back("out");
  std::vector<std::string> names = NamesOf(tool.inputs, extra);
  if (fault == Fault::kInputMissing) names.erase(std::find(names.begin(), names.end(), tool.input));
  EXPECT_EQ(row.dir().List(), names);
}

// Every spelling of every input as the output: the run must fail and leave
// every file as it was. `outcome` gets the output as spelt and the input.
void OutputIsInputRows(const FaultTool& tool, const std::optional<User>& user) {
  for (const auto& [input, bytes] : tool.inputs) {
    for (const char* spelling : {"same", "dot", "absolute", "hard link", "symbolic link"}) {
      SCOPED_TRACE("the output is input " + input + ", spelt: " + spelling);
      Row row(tool.program, tool.args, user, tool.inputs);
      if (tool.writes_output) row.Put("out", kOldOutput);
      std::vector<std::string> extra = {"out"};
      std::string output = input;
      if (std::string(spelling) == "dot") output = "./" + input;
      if (std::string(spelling) == "absolute") output = row.dir().File(input);
      if (std::string(spelling) == "hard link") {
        output = "in.hard";
        ASSERT_EQ(link(row.dir().File(input).c_str(), row.dir().File(output).c_str()), 0);
        extra.push_back(output);
      }
      if (std::string(spelling) == "symbolic link") {
        output = "in.soft";
        ASSERT_EQ(symlink(input.c_str(), row.dir().File(output).c_str()), 0);
        row.Own(row.dir().File(output));
        extra.push_back(output);
      }
      RunOptions options;
      options.timeout_seconds = 20;
      options.env = tool.env;
      const RunResult r = row.Run(output, options);
      const Outcome want = tool.same_file_outcome(output, input);
      EXPECT_NE(r.status, 0);
      EXPECT_EQ(r.status, want.status) << r.err;
      EXPECT_EQ(r.out, want.out);
      EXPECT_EQ(r.err, want.err);
      for (const auto& [name, original] : tool.inputs) {
        EXPECT_TRUE(row.dir().Read(name) == original) << name << " was changed";
      }
      if (tool.writes_output) {
        EXPECT_EQ(row.dir().Read("out"), kOldOutput);
      }
      EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs, extra));
    }
  }
}

void AllFaultRows(const FaultTool& tool, const std::optional<User>& user) {
  std::vector<Fault> faults;
  if (tool.writes_output) {
    faults = {Fault::kFullDevice, Fault::kDiskFull, Fault::kOutputIsFolder};
    if (user) {
      faults.push_back(Fault::kFolderNotWritable);
    } else {
      std::cerr << "note: no unprivileged user, so the unwritable folder row is skipped\n";
    }
  }
  if (!tool.input.empty()) {
    ASSERT_TRUE(std::any_of(tool.inputs.begin(), tool.inputs.end(),
                            [&](const auto& file) { return file.first == tool.input; }))
        << tool.input << " is not among the inputs";
    for (Fault f : {Fault::kInputMissing, Fault::kInputIsFolder, Fault::kInputIsFifo, Fault::kInputTruncated}) {
      faults.push_back(f);
    }
  }
  if (tool.strict_rows) faults.push_back(Fault::kStdoutFull);
  for (Fault fault : faults) FaultRow(tool, user, fault);
  if (tool.writes_output) FaultRow(tool, user, Fault::kDiskFull, /*linked=*/true);
  if (tool.strict_rows && tool.writes_output) OutputIsInputRows(tool, user);
}

}  // namespace

void ExpectOutputRows(const OutputTool& tool) {
  const std::optional<User> user = RowUser();
  DescriptorRows(tool, user);
  IdentityRows(tool, user);
  NameAndLinkRows(tool, user);
  SignalRows(tool, user);
}

std::optional<User> RowUser() {
  if (geteuid() != 0) return User{geteuid(), getegid()};
  if (const passwd* pw = getpwnam("nobody")) return User{pw->pw_uid, pw->pw_gid};
  setpwent();
  std::optional<User> found;
  while (const passwd* pw = getpwent()) {
    if (pw->pw_uid >= 1000 && pw->pw_uid < 65534) {
      found = User{pw->pw_uid, pw->pw_gid};
      break;
    }
  }
  endpwent();
  return found;
}

void ExpectFaultRows(const FaultTool& tool) { AllFaultRows(tool, RowUser()); }

}  // namespace testing_support
