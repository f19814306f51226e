#include "signal_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace loader_test {

testing_support::RunResult RunAndInterrupt(const std::string& program, const std::vector<std::string>& args,
                                           const std::string& cwd, const std::vector<std::string>& env,
                                           const std::string& ready_text, int timeout_seconds) {
  testing_support::RunResult result;
  int out_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return result;

  std::vector<std::string> argv_s = {program};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_s = {"PATH=/usr/bin:/bin", "LANG=C", "LC_ALL=C"};
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* v = std::getenv(name)) env_s.push_back(std::string(name) + "=" + v);
  }
  env_s.insert(env_s.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (auto& e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(out_pipe[1], 1);
    dup2(null_fd, 2);
    if (chdir(cwd.c_str()) != 0) _exit(127);
    signal(SIGINT, SIG_DFL);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  bool interrupted = false;
  bool killed = false;
  for (;;) {
    pollfd fd = {out_pipe[0], POLLIN, 0};
    const int n = poll(&fd, 1, 50);
    if (std::chrono::steady_clock::now() > deadline && !killed) {
      kill(pid, SIGKILL);
      killed = true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) continue;
    char buffer[4096];
    const ssize_t got = read(out_pipe[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    result.out.append(buffer, static_cast<size_t>(got));
    if (!interrupted && result.out.find(ready_text) != std::string::npos) {
      kill(pid, SIGINT);
      interrupted = true;
    }
  }
  close(out_pipe[0]);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(wstatus)) {
    result.status = WEXITSTATUS(wstatus);
  } else if (WIFSIGNALED(wstatus)) {
    result.signaled = true;
    result.status = 128 + WTERMSIG(wstatus);
  }
  if (killed) result.err = "[killed after timeout]";
  return result;
}

}  // namespace loader_test
