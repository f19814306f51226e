// The output rows' Windows half: no users, owners, FIFOs or signals to
// drive; a read-only attribute in place of permission bits.
#include <filesystem>

#include "output_rows_system.h"

namespace testing_support {
namespace rows {

bool GiveTo(const std::string&, const User&) { return false; }

bool SetMode(const std::string& path, unsigned mode) {
  namespace fs = std::filesystem;
  const fs::path name = PathOf(path);
  std::error_code ec;
  // Folders have no write bit on Windows; a file's is its read-only attribute.
  if (fs::is_directory(name, ec)) return true;
  fs::permissions(name, static_cast<fs::perms>(mode & 0777), ec);
  return !ec;
}

bool OwnedByRootWithMode(const std::string&, unsigned) { return false; }

PipeFeeder::PipeFeeder(std::string path, std::string bytes) : path_(std::move(path)), bytes_(std::move(bytes)) {}

PipeFeeder::~PipeFeeder() = default;

void SignalRows(const OutputTool&, const std::optional<User>&) {}

}  // namespace rows

std::optional<User> RowUser() { return std::nullopt; }

}  // namespace testing_support
