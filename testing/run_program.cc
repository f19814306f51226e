#include "testing/run_program.h"

#include "support/file_io.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace testing_support {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

TempDir::~TempDir() {
  std::error_code ec;
  // Give back write permission first so tests may make folders read-only.
  for (auto it = fs::recursive_directory_iterator(PathOf(path_), ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(PathOf(path_), ec);
}

std::string TempDir::File(const std::string& name) const { return path_ + "/" + name; }

bool TempDir::Exists(const std::string& name) const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(PathOf(File(name)), ec));
}

void TempDir::Write(const std::string& name, const std::string& bytes) const {
  fs::path p = PathOf(File(name));
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + File(name));
}

void TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  Write(name, std::string(bytes.begin(), bytes.end()));
}

std::string TempDir::Read(const std::string& name) const {
  std::vector<uint8_t> bytes;
  if (support::ReadWholeFile(File(name), &bytes) != support::ReadStatus::kOk)
    throw std::runtime_error("cannot read " + File(name));
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> TempDir::List() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(PathOf(path_))) names.push_back(Utf8Of(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

Cli::Cli(std::string program, std::string argv0) : program_(std::move(program)) { options_.argv0 = std::move(argv0); }

RunResult Cli::Run(const TempDir& dir, const std::vector<std::string>& args, const std::string& stdin_data) const {
  RunOptions run = options_;
  run.stdin_data = stdin_data;
  return RunProgram(program_, args, dir.path(), run);
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (support::ReadWholeFile(path, &bytes) != support::ReadStatus::kOk) return {};
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace testing_support
