// The fault rows of a ROM tool, run once for each way its inputs can be cut
// short: the input rows replace that input, and every other row runs again
// beside them (the strict rows included).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "testing/output_rows.h"

namespace romtools_test {

/// One input cut short, and what the tool says of it.
struct Cut {
  std::string input;
  std::string truncated;
  std::string err;
};

/// What a row ends with, given the cut of the round.
using CutOutcome = std::function<testing_support::Outcome(testing_support::Fault, const std::string& path, const Cut&)>;

/// Runs the fault rows of `tool` for each cut, with the strict rows on.
inline void ExpectFaultRowsForEachCut(testing_support::FaultTool tool, const std::vector<Cut>& cuts,
                                      const CutOutcome& outcome) {
  tool.strict_rows = true;
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.input + " cut to " + std::to_string(cut.truncated.size()) + " bytes");
    tool.input = cut.input;
    tool.truncated = cut.truncated;
    tool.outcome = [&](testing_support::Fault fault, const std::string& path) { return outcome(fault, path, cut); };
    testing_support::ExpectFaultRows(tool);
  }
}

}  // namespace romtools_test
