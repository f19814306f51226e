#include "testing/golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testing_support {

void ExpectGolden(const std::string& golden_path, const std::string& actual) {
  const char* update = std::getenv("UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream out(golden_path, std::ios::binary | std::ios::trunc);
    out << actual;
    ASSERT_TRUE(out.good()) << "cannot rewrite " << golden_path;
    return;
  }
  std::ifstream in(golden_path, std::ios::binary);
  ASSERT_TRUE(in.good()) << "missing golden file " << golden_path << " (run with UPDATE_GOLDEN=1)";
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_EQ(actual, text.str()) << "differs from " << golden_path;
}

}  // namespace testing_support
