#include "testing/output_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>

#include "output_rows_system.h"
#include "support/platform.h"
#include "testing/run_program.h"

namespace testing_support {

namespace {

namespace fs = std::filesystem;

uint64_t InodeOf(const std::string& path) {
  support::FileIdentity identity;
  return support::StatFile(path, &identity) == support::FileKind::kMissing ? 0 : identity.index;
}

bool IsLink(const std::string& path) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(PathOf(path), ec));
}

bool MakeHardLink(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::create_hard_link(PathOf(from), PathOf(to), ec);
  return !ec;
}

bool MakeSymlink(const std::string& target, const std::string& link) {
  std::error_code ec;
  fs::create_symlink(PathOf(target), PathOf(link), ec);
  return !ec;
}

bool Remove(const std::string& path) {
  std::error_code ec;
  return fs::remove(PathOf(path), ec);
}

// Whether this system can run a row that needs `need`; a note says why not.
bool Can(Need need, const char* row) {
  const char* why = Lacks(need);
  if (why != nullptr) std::cerr << "note: row skipped (" << row << "): " << why << "\n";
  return why == nullptr;
}

using rows::kOldOutput;
using rows::NamesOf;
using rows::OutputRow;
using rows::Row;

using rows::SuccessOut;

void DescriptorRows(const OutputTool& tool, const std::optional<User>& user) {
  if (!Can(Need::kDeviceFiles, "descriptors named as paths")) return;
  for (const std::string name : {"/dev/stdout", "/proc/self/fd/1"}) {
    SCOPED_TRACE(name);
    OutputRow row(tool, user, tool.inputs);
    RunResult r = row.Run(name);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == tool.expected + SuccessOut(tool, name)) << r.out.size() << " bytes on stdout";
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs));
  }
  SCOPED_TRACE("/dev/fd/2");
  OutputRow row(tool, user, tool.inputs);
  RunResult r = row.Run("/dev/fd/2");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, SuccessOut(tool, "/dev/fd/2"));
  EXPECT_TRUE(r.err == tool.expected) << r.err.size() << " bytes on stderr";
}

void IdentityRows(const OutputTool& tool, const std::optional<User>& user) {
  {
    SCOPED_TRACE("a file with a second hard link");
    OutputRow row(tool, user, tool.inputs);
    row.Put("out", "old");
    ASSERT_TRUE(MakeHardLink(row.dir().File("out"), row.dir().File("other")));
    const uint64_t inode = InodeOf(row.dir().File("out"));
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
    ASSERT_TRUE(rows::SetMode(row.dir().File("ro"), 0555));
    row.Own(row.dir().File("ro"));
    const uint64_t inode = InodeOf(row.dir().File("ro/out"));
    row.ExpectSuccess(row.Run("ro/out"));
    EXPECT_EQ(InodeOf(row.dir().File("ro/out")), inode);
    EXPECT_TRUE(row.dir().Read("ro/out") == tool.expected);
  }
  if (rows::RunsAsRoot()) {
    SCOPED_TRACE("a file owned by another user in a sticky folder");
    OutputRow row(tool, user, tool.inputs);
    row.dir().Write("shared/out", "old");
    ASSERT_TRUE(rows::SetMode(row.dir().File("shared"), 01777));
    ASSERT_TRUE(rows::SetMode(row.dir().File("shared/out"), 0666));
    row.ExpectSuccess(row.Run("shared/out"));
    EXPECT_TRUE(rows::OwnedByRootWithMode(row.dir().File("shared/out"), 0666));
    EXPECT_TRUE(row.dir().Read("shared/out") == tool.expected);
  }
}

// Outputs as users on every system name them: over an old file, over a
// read-only file, by an absolute path (a drive letter and backslashes on
// Windows), under a name outside ASCII.
void PlainRows(const OutputTool& tool, const std::optional<User>& user) {
  {
    SCOPED_TRACE("an existing output is replaced");
    OutputRow row(tool, user, tool.inputs);
    row.Put("out", kOldOutput);
    row.ExpectSuccess(row.Run("out"));
    EXPECT_TRUE(row.dir().Read("out") == tool.expected);
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs, {"out"}));
  }
  // A read-only file stops every user on Windows; on POSIX systems only
  // users other than root.
  if (user || !RunsAsRoot()) {
    SCOPED_TRACE("a read-only output");
    OutputRow row(tool, user, tool.inputs);
    row.Put("out", kOldOutput);
    ASSERT_TRUE(rows::SetMode(row.dir().File("out"), 0444));
    row.ExpectOpenFailure(row.Run("out"), "out");
    EXPECT_EQ(row.dir().Read("out"), kOldOutput);
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs, {"out"}));
  }
  {
    SCOPED_TRACE("an absolute path");
    OutputRow row(tool, user, tool.inputs);
    const std::string path = support::JoinPath(support::AbsolutePath(row.dir().path()), "abs.out");
    ASSERT_TRUE(support::IsAbsolutePath(path)) << path;
    row.ExpectSuccess(row.Run(path));
    EXPECT_TRUE(row.dir().Read("abs.out") == tool.expected);
  }
  {
    const std::string name = "\xc3\xbf-Zyr-\xc3\xa9\xe6\x96\x87.bin";  // ÿ-Zyr-é文.bin
    SCOPED_TRACE("a name outside ASCII");
    OutputRow row(tool, user, tool.inputs);
    row.ExpectSuccess(row.Run(name));
    EXPECT_TRUE(row.dir().Exists(name) && row.dir().Read(name) == tool.expected);
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs, {name}));
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
  if (!Can(Need::kSymlinks, "symbolic links that loop or dangle")) return;
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.what);
    OutputRow row(tool, user, tool.inputs);
    ASSERT_TRUE(MakeSymlink(c.target, row.dir().File(c.link)));
    std::vector<std::string> names = {c.link};
    if (std::string(c.link) == "a") {
      ASSERT_TRUE(MakeSymlink("a", row.dir().File("b")));
      names.push_back("b");
    }
    row.ExpectOpenFailure(row.Run(c.link), c.link);
    EXPECT_TRUE(IsLink(row.dir().File(c.link)));
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs, names));
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

// `linked`: the old output has a second name, so it is written in place.
void FaultRow(const FaultTool& tool, const std::optional<User>& user, Fault fault, bool linked = false) {
  SCOPED_TRACE(std::string(FaultName(fault)) + (linked ? ", into an output with a second name" : ""));
  Row row(tool.program, tool.args, user, tool.inputs);
  if (tool.writes_output) row.Put("out", kOldOutput);
  std::vector<std::string> extra;  // entries the row adds beside the inputs and "out"
  if (linked) {
    ASSERT_TRUE(MakeHardLink(row.dir().File("out"), row.dir().File("out.link")));
    extra.push_back("out.link");
  }
  std::string output = "out";
  std::string path = output;
  RunOptions options;
  options.timeout_seconds = 20;
  options.env = tool.env;
  std::optional<rows::PipeFeeder> feeder;
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
      ASSERT_TRUE(fs::create_directory(PathOf(row.dir().File("ro"))));
      ASSERT_TRUE(rows::SetMode(row.dir().File("ro"), 0555));
      row.Own(row.dir().File("ro"));
      extra.push_back("ro");
      break;
    case Fault::kOutputIsFolder:
      ASSERT_TRUE(Remove(row.dir().File("out")));
      row.Put("out/keep", "kept\n");
      break;
    case Fault::kInputMissing:
    case Fault::kInputIsFolder:
    case Fault::kInputIsFifo:
    case Fault::kInputTruncated:
      path = tool.input;
      ASSERT_TRUE(Remove(row.dir().File(tool.input))) << tool.input;
      if (fault == Fault::kInputIsFolder) {
        row.Put(tool.input + "/keep", "kept\n");
      } else if (fault == Fault::kInputIsFifo) {
        ASSERT_TRUE(MakeFifo(row.dir().File(tool.input)));
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
        ASSERT_TRUE(MakeHardLink(row.dir().File(input), row.dir().File(output)));
        extra.push_back(output);
      }
      if (std::string(spelling) == "symbolic link") {
        if (!Can(Need::kSymlinks, "an input named by a symbolic link")) continue;
        output = "in.soft";
        ASSERT_TRUE(MakeSymlink(input, row.dir().File(output)));
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
  const bool devices = Can(Need::kDeviceFiles, "/dev/full as the output or standard output, a FIFO as input");
  const bool size_limit = Can(Need::kFileSizeLimit, "a disk that fills");
  if (tool.writes_output) {
    if (devices) faults.push_back(Fault::kFullDevice);
    if (size_limit) faults.push_back(Fault::kDiskFull);
    faults.push_back(Fault::kOutputIsFolder);
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
      if (f != Fault::kInputIsFifo || devices) faults.push_back(f);
    }
  }
  if (tool.strict_rows && devices) faults.push_back(Fault::kStdoutFull);
  for (Fault fault : faults) FaultRow(tool, user, fault);
  if (tool.writes_output && size_limit) FaultRow(tool, user, Fault::kDiskFull, /*linked=*/true);
  if (tool.strict_rows && tool.writes_output) OutputIsInputRows(tool, user);
}

}  // namespace

void ExpectOutputRows(const OutputTool& tool) {
  const std::optional<User> user = RowUser();
  DescriptorRows(tool, user);
  IdentityRows(tool, user);
  PlainRows(tool, user);
  NameAndLinkRows(tool, user);
  if (Can(Need::kSignals, "signals while the output is written")) rows::SignalRows(tool, user);
}

void ExpectPlainOutputRows(const OutputTool& tool) { PlainRows(tool, RowUser()); }

void ExpectFaultRows(const FaultTool& tool) { AllFaultRows(tool, RowUser()); }

bool GiveAllTo(const std::string& path, const User& user) {
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(PathOf(path), ec))) {
    for (const auto& entry : fs::recursive_directory_iterator(PathOf(path), ec)) {
      if (!rows::GiveTo(Utf8Of(entry.path()), user)) return false;
    }
    if (ec) return false;
  }
  return rows::GiveTo(path, user);
}

}  // namespace testing_support
