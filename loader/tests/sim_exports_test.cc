// The simulated device libraries export exactly the functions the loaders
// look up in them: nothing of their own insides, and nothing of the C++
// library, which a vendor's library would not have either.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "dravo_binding.h"
#include "testing/run_program.h"
#include "zyr_binding.h"

namespace {

// The names of the symbols `library` defines in its dynamic symbol table.
std::vector<std::string> ExportedNames(const std::string& library) {
  testing_support::TempDir dir;
  const testing_support::RunResult r =
      testing_support::RunProgram(LOADER_NM, {"-D", "--defined-only", library}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    const size_t space = line.rfind(' ');
    names.push_back(space == std::string::npos ? line : line.substr(space + 1));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// `names` in order, without `absent`.
std::vector<std::string> Sorted(std::vector<std::string> names, const std::string& absent = "") {
  names.erase(std::remove(names.begin(), names.end(), absent), names.end());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SimulatedLibraries, ExportExactlyTheFunctionsTheLoadersLookUp) {
  if (std::string(LOADER_NM).empty()) GTEST_SKIP() << "no nm to read the symbol tables with";
  const std::vector<std::string> dravo = loader::DeviceLibraryFunctions<loader::DravoApi>();
  const std::vector<std::string> zyr = loader::DeviceLibraryFunctions<loader::ZyrApi>();
  EXPECT_EQ(ExportedNames(ISDRAVO_SIM_PATH), Sorted(dravo));
  EXPECT_EQ(ExportedNames(ISZYR_SIM_PATH), Sorted(zyr));
  // The test-only copies lack the one function each is built without.
  EXPECT_EQ(ExportedNames(ISDRAVO_SIM_INCOMPLETE_PATH), Sorted(dravo, "DRAVOToolAPIGetDebugPrint"));
  EXPECT_EQ(ExportedNames(ISZYR_SIM_WITHOUT_HYBRID_PATH), Sorted(zyr, "ISDSetHybridMode"));
}

}  // namespace
