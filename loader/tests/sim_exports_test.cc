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

// The names in the export table of a Windows DLL (a PE file), read from its
// bytes: the export directory's name pointers, through the section table.
std::vector<std::string> PeExportNames(const std::string& bytes) {
  auto u16 = [&](size_t at) -> uint32_t {
    return at + 2 <= bytes.size() ? static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 : 0;
  };
  auto u32 = [&](size_t at) -> uint32_t { return u16(at) | u16(at + 2) << 16; };
  const size_t pe = u32(0x3C);
  const size_t optional = pe + 24;
  const size_t sections = optional + u16(pe + 20);
  auto file_offset = [&](uint32_t rva) -> size_t {
    for (size_t i = 0; i < u16(pe + 6); ++i) {
      const size_t section = sections + 40 * i;
      const uint32_t start = u32(section + 12);
      if (rva >= start && rva - start < std::max(u32(section + 8), u32(section + 16))) {
        return rva - start + u32(section + 20);
      }
    }
    return bytes.size();
  };
  // The export directory is the first data directory (PE32+: after 112 bytes).
  const size_t exports = file_offset(u32(optional + (u16(optional) == 0x20B ? 112 : 96)));
  std::vector<std::string> names;
  const size_t name_table = file_offset(u32(exports + 32));
  for (uint32_t i = 0; i < u32(exports + 24); ++i) {
    const size_t at = file_offset(u32(name_table + 4 * i));
    names.push_back(at < bytes.size() ? std::string(bytes.c_str() + at) : std::string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The names of the symbols `library` defines in its dynamic symbol table
// (the export table of a DLL).
std::vector<std::string> ExportedNames(const std::string& library) {
  const std::string bytes = testing_support::ReadFileOrEmpty(library);
  if (bytes.compare(0, 2, "MZ") == 0) return PeExportNames(bytes);
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
  const bool dll = testing_support::ReadFileOrEmpty(ISDRAVO_SIM_PATH).compare(0, 2, "MZ") == 0;
  if (!dll && std::string(LOADER_NM).empty()) GTEST_SKIP() << "no nm to read the symbol tables with";
  const std::vector<std::string> dravo = loader::DeviceLibraryFunctions<loader::DravoApi>();
  const std::vector<std::string> zyr = loader::DeviceLibraryFunctions<loader::ZyrApi>();
  EXPECT_EQ(ExportedNames(ISDRAVO_SIM_PATH), Sorted(dravo));
  EXPECT_EQ(ExportedNames(ISZYR_SIM_PATH), Sorted(zyr));
  // The test-only copies lack the one function each is built without.
  EXPECT_EQ(ExportedNames(ISDRAVO_SIM_INCOMPLETE_PATH), Sorted(dravo, "DRAVOToolAPIGetDebugPrint"));
  EXPECT_EQ(ExportedNames(ISZYR_SIM_WITHOUT_HYBRID_PATH), Sorted(zyr, "ISDSetHybridMode"));
}

}  // namespace
