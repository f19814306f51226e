// The output rows' POSIX half: users, modes, FIFOs and signals.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "output_rows_system.h"

namespace testing_support {
namespace rows {

bool GiveTo(const std::string& path, const User& user) { return lchown(path.c_str(), user.uid, user.gid) == 0; }

bool SetMode(const std::string& path, unsigned mode) { return chmod(path.c_str(), static_cast<mode_t>(mode)) == 0; }

bool OwnedByRootWithMode(const std::string& path, unsigned mode) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && st.st_uid == 0 && (st.st_mode & 07777) == mode;
}

PipeFeeder::PipeFeeder(std::string path, std::string bytes) : path_(std::move(path)), bytes_(std::move(bytes)) {
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

PipeFeeder::~PipeFeeder() {
  // Opening the reading end lets a writer still waiting in open go on.
  const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  thread_.join();
  if (fd >= 0) close(fd);
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

}  // namespace rows

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

}  // namespace testing_support
