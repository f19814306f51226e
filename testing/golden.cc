#include "testing/golden.h"

#include "support/file_io.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace testing_support {

void ExpectGolden(const std::string& golden_path, const std::string& actual) {
  const char* update = std::getenv("UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream out(golden_path, std::ios::binary | std::ios::trunc);
    out << actual;
    ASSERT_TRUE(out.good()) << "cannot rewrite " << golden_path;
    return;
  }
  std::vector<uint8_t> bytes;
  ASSERT_EQ(support::ReadWholeFile(golden_path, &bytes), support::ReadStatus::kOk)
      << "missing golden file " << golden_path << " (run with UPDATE_GOLDEN=1)";
  EXPECT_EQ(actual, std::string(bytes.begin(), bytes.end())) << "differs from " << golden_path;
}

}  // namespace testing_support
