#include "testing/output_rows.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <optional>

#include "testing/run_program.h"

namespace testing_support {

namespace {

struct User {
  uid_t uid;
  gid_t gid;
};

// The user the rows run as: the test's own when it is not root, else an
// unprivileged account, if the system has one.
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

// One row's folder: the inputs, owned by the user the program runs as.
class Row {
 public:
  Row(const OutputTool& tool, const std::optional<User>& user, const FileList& inputs) : tool_(tool), user_(user) {
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
      ASSERT_EQ(chown(path.c_str(), user_->uid, user_->gid), 0) << path;
    }
  }
  RunResult Run(const std::string& output, RunOptions options = {}) {
    if (user_ && geteuid() == 0) {
      options.uid = static_cast<int>(user_->uid);
      options.gid = static_cast<int>(user_->gid);
    }
    return RunProgram(tool_.program, tool_.args(output), dir_.path(), options);
  }
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
  const TempDir& dir() const { return dir_; }

 private:
  const OutputTool& tool_;
  std::optional<User> user_;
  TempDir dir_;
};

void DescriptorRows(const OutputTool& tool, const std::optional<User>& user) {
  for (const std::string name : {"/dev/stdout", "/proc/self/fd/1"}) {
    SCOPED_TRACE(name);
    Row row(tool, user, tool.inputs);
    RunResult r = row.Run(name);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == tool.expected + tool.success_out) << r.out.size() << " bytes on stdout";
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(row.dir().List(), NamesOf(tool.inputs));
  }
  SCOPED_TRACE("/dev/fd/2");
  Row row(tool, user, tool.inputs);
  RunResult r = row.Run("/dev/fd/2");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, tool.success_out);
  EXPECT_TRUE(r.err == tool.expected) << r.err.size() << " bytes on stderr";
}

void IdentityRows(const OutputTool& tool, const std::optional<User>& user) {
  {
    SCOPED_TRACE("a file with a second hard link");
    Row row(tool, user, tool.inputs);
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
    Row row(tool, user, tool.inputs);
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
    Row row(tool, user, tool.inputs);
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
    Row row(tool, user, tool.inputs);
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
    Row row(tool, user, tool.inputs);
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
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    // The signal goes out as soon as the temporary file appears; should the
    // program still finish first, the row is tried again.
    RunResult r;
    for (int attempt = 0; attempt < 3 && !r.signaled; ++attempt) {
      Row row(tool, user, tool.large_inputs);
      RunOptions options;
      options.signal_when_created = row.dir().path();
      options.signal_number = sig;
      r = row.Run("big.out", options);
      if (r.signaled) {
        EXPECT_EQ(r.status, 128 + sig);
        EXPECT_EQ(row.dir().List(), NamesOf(tool.large_inputs));
      } else {
        EXPECT_EQ(r.status, 0) << r.err;
      }
    }
    EXPECT_TRUE(r.signaled) << "the program always finished before the signal";
  }
}

}  // namespace

void ExpectOutputRows(const OutputTool& tool) {
  const std::optional<User> user = RowUser();
  DescriptorRows(tool, user);
  IdentityRows(tool, user);
  NameAndLinkRows(tool, user);
  SignalRows(tool, user);
}

}  // namespace testing_support
