// Golden files for long expected outputs: tests/data/<case>.stdout and the
// like. With UPDATE_GOLDEN=1 in the environment the test rewrites the file
// with what the program produced instead of comparing.
#pragma once

#include <string>

namespace testing_support {

/// Compares `actual` with the file at `golden_path` (a gtest failure on a
/// difference or a missing file), or rewrites it under UPDATE_GOLDEN=1.
void ExpectGolden(const std::string& golden_path, const std::string& actual);

}  // namespace testing_support
