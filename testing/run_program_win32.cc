#include "testing/run_program.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "support/platform.h"
#include "support/wide_text.h"

namespace testing_support {

namespace {

using support::win32::Utf8;
using support::win32::Wide;

// One argument as the C library's command-line parser reads it back.
void AppendQuoted(const std::wstring& arg, std::wstring* line) {
  if (!line->empty()) *line += L' ';
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    *line += arg;
    return;
  }
  *line += L'"';
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    line->append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    *line += c;
  }
  line->append(backslashes * 2, L'\\');
  *line += L'"';
}

// A text stream's CR LF as the LF the program printed.
std::string AsText(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(name) + "=" + value : std::string();
}

// The environment block: what Windows programs need to start and to find
// the temporary folder, the C locale as on POSIX systems, and `extra`.
std::wstring EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::string> entries = {"LANG=C", "LC_ALL=C"};
  for (const char* name : {"SystemRoot", "SystemDrive", "windir", "TEMP", "TMP", "USERPROFILE", "PATH"}) {
    const std::string entry = Variable(name);
    if (!entry.empty()) entries.push_back(entry);
  }
  // An extra entry takes the place of one of the same name (PATH, say).
  for (const std::string& entry : extra) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::string& e) { return _strnicmp(e.c_str(), name.c_str(), name.size()) == 0; }),
                  entries.end());
    entries.push_back(entry);
  }
  std::wstring block;
  for (const std::string& entry : entries) {
    block += Wide(entry);
    block += L'\0';
  }
  block += L'\0';
  return block;
}

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  HANDLE* out() { return &h_; }
  void Close() {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_;
};

void ReadAll(HANDLE from, std::string* into) {
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(from, buffer, sizeof buffer, &n, nullptr) && n > 0) into->append(buffer, n);
}

}  // namespace

TempDir::TempDir() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) throw std::runtime_error("no temporary folder");
  const std::string base = Utf8(folder) + "tools-test-";
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const std::string candidate = base + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64() % 100000) +
                                  "-" + std::to_string(attempt);
    if (CreateDirectoryW(Wide(candidate).c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot make a temporary folder");
}


const char* Lacks(Need need) {
  switch (need) {
    case Need::kSignals:
      return "needs POSIX signals sent to a running program (Windows has none)";
    case Need::kFileSizeLimit:
      return "needs a POSIX file size limit (Windows has none)";
    case Need::kDeviceFiles:
      return "needs POSIX device files, descriptor names, FIFOs or folder modes (Windows has none)";
    case Need::kSymlinks:
      return "needs symbolic links (Windows grants them to few accounts; wine makes none)";
    case Need::kAnyFileName:
      return "needs a file name with characters Windows refuses";
    case Need::kLibraryPath:
      return "needs a library path searched before the program's own folder (Windows looks there first)";
    case Need::kShell:
      return "needs a POSIX shell (/bin/sh) for its redirections";
    case Need::kLongCommandLine:
      return "needs a command line longer than Windows's 32767 characters";
  }
  return nullptr;
}

bool RunsAsRoot() { return false; }

std::string WrittenAsText(const std::string& text) {
  std::string written;
  for (char c : text) {
    if (c == '\n') written += '\r';
    written += c;
  }
  return written;
}

bool MakeFifo(const std::string&) { return false; }

HeldFifo::HeldFifo(const std::string&) {}

HeldFifo::~HeldFifo() = default;

std::string HeldFifo::ReadAvailable() { return {}; }

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                     const RunOptions& options) {
  RunResult result;
  if (!options.signal_when_output.empty() || !options.signal_when_created.empty() || options.uid >= 0 ||
      options.gid >= 0 || options.file_size_limit >= 0) {
    ADD_FAILURE() << "RunProgram: a POSIX-only option on Windows (skip the row with testing_support::Lacks)";
    return result;
  }
  // A path from the build (a cross-build's is a POSIX path, reached through
  // the working drive) stays valid in the program's working folder.
  const std::wstring application = Wide(support::AbsolutePath(program));
  std::wstring line;
  AppendQuoted(Wide(options.argv0.empty() ? program : options.argv0), &line);
  for (const std::string& arg : args) AppendQuoted(Wide(arg), &line);
  std::wstring environment = EnvironmentBlock(options.env);

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  Handle in_read, in_write, out_read, out_write, err_read, err_write;
  if (!CreatePipe(in_read.out(), in_write.out(), &inherit, 0) ||
      !CreatePipe(out_read.out(), out_write.out(), &inherit, 0) ||
      !CreatePipe(err_read.out(), err_write.out(), &inherit, 0)) {
    throw std::runtime_error("CreatePipe failed");
  }
  // The parent's ends stay out of the child.
  SetHandleInformation(in_write.get(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(out_read.get(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read.get(), HANDLE_FLAG_INHERIT, 0);
  Handle stdout_file;
  if (!options.stdout_path.empty()) {
    *stdout_file.out() = CreateFileW(Wide(options.stdout_path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr);
    if (stdout_file.get() == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + options.stdout_path);
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read.get();
  startup.hStdOutput = options.stdout_path.empty() ? out_write.get() : stdout_file.get();
  startup.hStdError = err_write.get();
  PROCESS_INFORMATION process = {};
  const std::wstring folder = Wide(cwd);
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(), folder.c_str(), &startup,
                      &process)) {
    result.status = 127;
    result.err = "[cannot start " + program + ": error " + std::to_string(GetLastError()) + "]\n";
    return result;
  }
  Handle process_handle(process.hProcess);
  Handle thread_handle(process.hThread);
  in_read.Close();
  out_write.Close();
  err_write.Close();
  stdout_file.Close();

  std::string out_bytes, err_bytes;
  std::thread feed([&] {
    const std::string& data = options.stdin_data;
    size_t done = 0;
    DWORD n = 0;
    while (done < data.size() &&
           WriteFile(in_write.get(), data.data() + done, static_cast<DWORD>(std::min<size_t>(data.size() - done, 65536)),
                     &n, nullptr)) {
      done += n;
    }
    in_write.Close();
  });
  std::thread read_out([&] { ReadAll(out_read.get(), &out_bytes); });
  std::thread read_err([&] { ReadAll(err_read.get(), &err_bytes); });
  bool killed = false;
  if (WaitForSingleObject(process_handle.get(), static_cast<DWORD>(options.timeout_seconds) * 1000) != WAIT_OBJECT_0) {
    TerminateProcess(process_handle.get(), 128 + 9);
    WaitForSingleObject(process_handle.get(), INFINITE);
    killed = true;
  }
  feed.join();
  read_out.join();
  read_err.join();

  DWORD code = 0;
  GetExitCodeProcess(process_handle.get(), &code);
  result.out = options.binary_stdout ? out_bytes : AsText(out_bytes);
  result.err = AsText(err_bytes);
  if (killed) {
    result.signaled = true;
    result.status = 128 + 9;
    result.err += "\n[killed after timeout]\n";
  } else if ((code & 0xF0000000u) == 0xC0000000u) {
    // An exception (access violation and the like) is what a signal is on POSIX.
    result.signaled = true;
    result.status = 128 + 11;
    char text[64];
    std::snprintf(text, sizeof text, "\n[ended by exception 0x%08lX]\n", static_cast<unsigned long>(code));
    result.err += text;
  } else {
    result.status = static_cast<int>(code & 0xFF);
  }
  return result;
}

}  // namespace testing_support
