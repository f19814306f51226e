#include "support/file_io.h"

#include "support/output_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>

#include <string>
#include <thread>
#include <vector>

#include "testing/run_program.h"

namespace {

using support::ReadStatus;
using support::WriteStatus;
using testing_support::TempDir;

WriteStatus Write(const std::string& path, const std::string& text) {
  return support::WriteOutputFile(path, text.data(), text.size());
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(FileIo, ReadsRegularFilesAndRefusesTheRest) {
  TempDir dir;
  dir.Write("a", std::string("abc\0def", 7));
  std::vector<uint8_t> data;
  EXPECT_EQ(support::ReadWholeFile(dir.File("a"), &data), ReadStatus::kOk);
  EXPECT_EQ(std::string(data.begin(), data.end()), std::string("abc\0def", 7));
  dir.Write("empty", std::string());
  EXPECT_EQ(support::ReadWholeFile(dir.File("empty"), &data), ReadStatus::kOk);
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(support::ReadWholeFile(dir.File("missing"), &data), ReadStatus::kCannotOpen);
  EXPECT_EQ(support::ReadWholeFile(dir.path(), &data), ReadStatus::kNotRegular);
  // A named pipe without a writer must not hang the read.
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_EQ(support::ReadWholeFile(dir.File("fifo"), &data), ReadStatus::kNotRegular);
}

TEST(FileIo, WritesNewFilesWithTheUsualModeAndNoLeftovers) {
  TempDir dir;
  mode_t mask = umask(022);
  EXPECT_EQ(Write(dir.File("out"), "hello"), WriteStatus::kOk);
  umask(mask);
  EXPECT_EQ(dir.Read("out"), "hello");
  EXPECT_EQ(ModeOf(dir.File("out")), 0644u);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out"});
}

TEST(FileIo, ReplacesAnExistingFileKeepingItsMode) {
  TempDir dir;
  dir.Write("out", std::string("old contents"));
  ASSERT_EQ(chmod(dir.File("out").c_str(), 0640), 0);
  EXPECT_EQ(Write(dir.File("out"), "new"), WriteStatus::kOk);
  EXPECT_EQ(dir.Read("out"), "new");
  EXPECT_EQ(ModeOf(dir.File("out")), 0640u);
}

TEST(FileIo, WritesThroughLinksAndRefusesFolders) {
  TempDir dir;
  dir.Write("real", std::string("old"));
  ASSERT_EQ(symlink("real", dir.File("link").c_str()), 0);
  EXPECT_EQ(Write(dir.File("link"), "via link"), WriteStatus::kOk);
  EXPECT_EQ(dir.Read("real"), "via link");
  struct stat st;
  ASSERT_EQ(lstat(dir.File("link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  dir.Write("folder/keep", std::string("x"));
  EXPECT_EQ(Write(dir.File("folder"), "data"), WriteStatus::kCannotOpen);
  EXPECT_EQ(dir.Read("folder/keep"), "x");
  EXPECT_EQ(Write(dir.File("no/such/dir/out"), "data"), WriteStatus::kCannotOpen);
}

TEST(FileIo, WritesIntoPipesAndDevicesWithoutReplacingThem) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    int fd = open(dir.File("fifo").c_str(), O_RDONLY);
    char buf[64];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) received.append(buf, static_cast<size_t>(n));
    close(fd);
  });
  EXPECT_EQ(Write(dir.File("fifo"), "through the pipe"), WriteStatus::kOk);
  reader.join();
  EXPECT_EQ(received, "through the pipe");
  struct stat st;
  ASSERT_EQ(stat(dir.File("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  EXPECT_EQ(Write("/dev/full", "x"), WriteStatus::kWriteError);
  ASSERT_EQ(stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

}  // namespace

namespace {

TEST(OutputFile, WritesNamedDescriptorsAndRefusesReadOnlyOnes) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    EXPECT_EQ(Write(prefix + std::to_string(fds[1]), prefix), WriteStatus::kOk);
    char buf[64];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    EXPECT_EQ(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0), prefix);
    EXPECT_EQ(Write(prefix + std::to_string(fds[0]), "x"), WriteStatus::kCannotOpen);  // the read end
  }
  EXPECT_EQ(Write("/dev/fd/9999", "x"), WriteStatus::kCannotOpen);
  close(fds[0]);
  close(fds[1]);
}

TEST(OutputFile, TellsWhichOutputsAreWrittenInPlace) {
  TempDir dir;
  dir.Write("single", std::string("old"));
  dir.Write("linked", std::string("old"));
  ASSERT_EQ(link(dir.File("linked").c_str(), dir.File("second").c_str()), 0);
  struct Case {
    std::string path;
    bool in_place;
  } cases[] = {{dir.File("new"), false}, {dir.File("single"), false}, {dir.File("linked"), false},
               {"/dev/null", true}};
  for (const Case& c : cases) {
    support::OutputFile out;
    ASSERT_EQ(out.Open(c.path), WriteStatus::kOk) << c.path;
    EXPECT_EQ(out.writes_through(), c.in_place) << c.path;
    out.Abandon();
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"linked", "second", "single"}));
}

TEST(OutputFile, SignalsRemoveTheTemporaryFileAndEndTheProcess) {
  // SIGXFSZ, the file size limit's, is ignored: the write fails and is reported.
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ}) {
    SCOPED_TRACE(strsignal(sig));
    TempDir dir;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const rlimit no_core{0, 0};
      setrlimit(RLIMIT_CORE, &no_core);
      support::OutputFile out;
      if (out.Open(dir.File("out")) != WriteStatus::kOk) _exit(2);
      // Many outputs open at once (a tool may keep dozens) are cleaned up alike.
      std::vector<support::OutputFile> more(40);
      for (size_t i = 0; i < more.size(); ++i) {
        if (more[i].Open(dir.File("more" + std::to_string(i))) != WriteStatus::kOk) _exit(2);
      }
      if (sig == SIGXFSZ) {
        // A write past the file size limit fails instead: the caller can say so.
        more.clear();
        const rlimit limit{4, 4};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(!out.Write("partial", 7) && out.Commit() == WriteStatus::kWriteError ? 4 : 3);
      }
      if (!out.Write("partial", 7)) _exit(2);
      raise(sig);
      _exit(3);  // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (sig == SIGXFSZ) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 4) << status;
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{}) << sig;
  }
}

}  // namespace
