#include "testing/run_program.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <grp.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tools-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}


const char* Lacks(Need) { return nullptr; }

bool RunsAsRoot() { return geteuid() == 0; }

std::string WrittenAsText(const std::string& text) { return text; }

bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }

HeldFifo::HeldFifo(const std::string& path) {
  if (MakeFifo(path)) fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

HeldFifo::~HeldFifo() {
  if (fd_ >= 0) close(fd_);
}

std::string HeldFifo::ReadAvailable() {
  char buffer[65536];
  const ssize_t n = fd_ >= 0 ? read(fd_, buffer, sizeof buffer) : -1;
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& cwd, const RunOptions& options) {
  // A program that exits without reading all its input must not kill the test.
  signal(SIGPIPE, SIG_IGN);
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) || pipe2(out_pipe, O_CLOEXEC) || pipe2(err_pipe, O_CLOEXEC))
    throw std::runtime_error("pipe failed");

  std::vector<std::string> argv_s;
  argv_s.push_back(options.argv0.empty() ? program : options.argv0);
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env_s = {"PATH=/usr/bin:/bin", "LANG=C", "LC_ALL=C"};
  if (const char* home = getenv("HOME")) env_s.push_back(std::string("HOME=") + home);
  // Sanitizer settings pass through so sanitized builds check the programs too.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
    if (const char* v = getenv(name)) env_s.push_back(std::string(name) + "=" + v);
  }
  env_s.insert(env_s.end(), options.env.begin(), options.env.end());
  std::vector<char*> envp;
  for (auto& e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);

  int watch_fd = -1;
  if (!options.signal_when_created.empty()) {
    watch_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_fd < 0 || inotify_add_watch(watch_fd, options.signal_when_created.c_str(), IN_CREATE) < 0)
      throw std::runtime_error("cannot watch " + options.signal_when_created);
  }

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    if (options.stdout_path.empty()) {
      dup2(out_pipe[1], 1);
    } else {
      const int fd = open(options.stdout_path.c_str(), O_WRONLY);
      if (fd < 0 || dup2(fd, 1) < 0) _exit(126);
    }
    dup2(err_pipe[1], 2);
    if (options.gid >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(options.gid)) != 0)) _exit(126);
    if (options.uid >= 0 && setuid(static_cast<uid_t>(options.uid)) != 0) _exit(126);
    if (chdir(cwd.c_str()) != 0) _exit(127);
    signal(SIGPIPE, SIG_DFL);
    if (options.no_core_dump) {
      const rlimit none{0, 0};
      setrlimit(RLIMIT_CORE, &none);
    }
    if (options.file_size_limit >= 0) {
      // As a shell's limit: SIGXFSZ at its default, which ends the program
      // unless the program sets it aside.
      signal(SIGXFSZ, SIG_DFL);
      const rlimit limit{static_cast<rlim_t>(options.file_size_limit), static_cast<rlim_t>(options.file_size_limit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);

  RunResult result;
  size_t in_done = 0;
  int in_fd = in_pipe[1];
  if (options.stdin_data.empty()) {
    close(in_fd);
    in_fd = -1;
  } else {
    fcntl(in_fd, F_SETFL, O_NONBLOCK);
  }
  int out_fd = out_pipe[0], err_fd = err_pipe[0];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  bool killed = false;
  bool signal_sent = false;
  while (out_fd >= 0 || err_fd >= 0) {
    std::vector<pollfd> fds;
    if (in_fd >= 0) fds.push_back({in_fd, POLLOUT, 0});
    if (out_fd >= 0) fds.push_back({out_fd, POLLIN, 0});
    if (err_fd >= 0) fds.push_back({err_fd, POLLIN, 0});
    if (watch_fd >= 0) fds.push_back({watch_fd, POLLIN, 0});
    int n = poll(fds.data(), fds.size(), 100);
    if (std::chrono::steady_clock::now() > deadline && !killed) {
      kill(pid, SIGKILL);
      killed = true;
    }
    if (n <= 0) continue;
    for (auto& p : fds) {
      if (!p.revents) continue;
      if (p.fd == watch_fd) {
        kill(pid, options.signal_number);
        close(watch_fd);
        watch_fd = -1;
        continue;
      }
      if (p.fd == in_fd) {
        ssize_t w = write(in_fd, options.stdin_data.data() + in_done, options.stdin_data.size() - in_done);
        if (w > 0) in_done += static_cast<size_t>(w);
        if (w < 0 && errno != EAGAIN && errno != EINTR) in_done = options.stdin_data.size();
        if (in_done == options.stdin_data.size()) {
          close(in_fd);
          in_fd = -1;
        }
        continue;
      }
      char buf[65536];
      ssize_t r = read(p.fd, buf, sizeof buf);
      if (r > 0) {
        (p.fd == out_fd ? result.out : result.err).append(buf, static_cast<size_t>(r));
        if (!signal_sent && !options.signal_when_output.empty() &&
            result.out.find(options.signal_when_output) != std::string::npos) {
          kill(pid, options.signal_number);
          signal_sent = true;
        }
      } else if (r == 0 || (errno != EINTR && errno != EAGAIN)) {
        close(p.fd);
        if (p.fd == out_fd) out_fd = -1;
        else err_fd = -1;
      }
    }
  }
  if (in_fd >= 0) close(in_fd);
  if (watch_fd >= 0) close(watch_fd);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(wstatus)) {
    result.status = WEXITSTATUS(wstatus);
  } else if (WIFSIGNALED(wstatus)) {
    result.signaled = true;
    result.status = 128 + WTERMSIG(wstatus);
  }
  if (killed) result.err += "\n[killed after timeout]\n";
  return result;
}

}  // namespace testing_support
