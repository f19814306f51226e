// What the tests of both argument buriers share: the check of a run's
// status and streams, and the fault rows: a copy of "game.srl" written to
// the output (strict rows on), the same input rows in place, where the image
// is the output, and the disk filling while the area is written in place.
// Every failure has status 2 and the message below.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace argbury_test {

inline void ExpectResult(const testing_support::RunResult& r, int status, const std::string& out,
                         const std::string& err) {
  EXPECT_EQ(r.status, status);
  EXPECT_EQ(r.out, out);
  EXPECT_EQ(r.err, err);
}

/// One burier's rows.
struct BurierRows {
  std::string program;
  std::string image;                   // "game.srl"
  std::vector<std::string> arguments;  // after the image's name
  std::string copy;                    // what the copy holds
  std::string truncated;               // the image cut short, and its message
  std::string truncated_err;
  std::vector<long long> in_place_limits;  // file size limits inside the area
};

/// The copy's rows; a caller may vary them further (another input, say).
inline testing_support::FaultTool CopyRows(const BurierRows& rows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  testing_support::FaultTool copy;
  copy.program = rows.program;
  copy.inputs = {{"game.srl", rows.image}};
  copy.args = [arguments = rows.arguments](const std::string& output) {
    std::vector<std::string> args = {"-o", output, "game.srl"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    return args;
  };
  copy.expected = rows.copy;
  copy.input = "game.srl";
  copy.truncated = rows.truncated;
  copy.outcome = [truncated_err = rows.truncated_err](Fault fault, const std::string&) -> Outcome {
    const std::string lead = "Error: parmsink: ";
    switch (fault) {
      case Fault::kFullDevice:
      case Fault::kDiskFull:
        return {2, "", lead + "cannot write output file.\n"};
      case Fault::kFolderNotWritable:
      case Fault::kOutputIsFolder:
        return {2, "", lead + "cannot open output file.\n"};
      case Fault::kInputTruncated:
        return {2, "", lead + truncated_err};
      case Fault::kStdoutFull:
        return {2, "", lead + "cannot write standard output.\n"};
      default:  // a missing image, a folder or a pipe
        return {2, "", lead + "cannot open binary file.\n"};
    }
  };
  copy.strict_rows = true;
  copy.same_file_outcome = [](const std::string& output, const std::string& input) -> Outcome {
    return {2, "", "Error: parmsink: output file '" + output + "' is the same file as '" + input + "'.\n"};
  };
  return copy;
}

/// The copy written over an old output, refused over a read-only one,
/// written by an absolute path and under a name outside ASCII.
inline void ExpectBurierOutputRows(const BurierRows& rows) {
  testing_support::OutputTool tool;
  tool.program = rows.program;
  tool.inputs = {{"game.srl", rows.image}};
  tool.args = [arguments = rows.arguments](const std::string& output) {
    std::vector<std::string> args = {"-q", "-o", output, "game.srl"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    return args;
  };
  tool.expected = rows.copy;
  tool.open_failure_status = 2;
  tool.open_failure_err = [](const std::string&) { return std::string("Error: parmsink: cannot open output file.\n"); };
  testing_support::ExpectPlainOutputRows(tool);
}

/// Runs the copy's rows, the in-place rows and the in-place disk rows.
inline void ExpectBurierFaultRows(const BurierRows& rows) {
  const testing_support::FaultTool copy = CopyRows(rows);
  testing_support::ExpectFaultRows(copy);

  testing_support::FaultTool in_place = copy;
  std::vector<std::string> in_place_args = {"game.srl"};
  in_place_args.insert(in_place_args.end(), rows.arguments.begin(), rows.arguments.end());
  in_place.args = [in_place_args](const std::string&) { return in_place_args; };
  in_place.writes_output = false;
  testing_support::ExpectFaultRows(in_place);

  // The image keeps its old bytes.
  if (const char* why = testing_support::Lacks(testing_support::Need::kFileSizeLimit)) {
    std::cerr << "note: row skipped (a disk that fills while the area is written): " << why << "\n";
    return;
  }
  for (const long long limit : rows.in_place_limits) {
    SCOPED_TRACE(limit);
    testing_support::TempDir dir;
    dir.Write("game.srl", rows.image);
    testing_support::RunOptions options;
    options.file_size_limit = limit;
    ExpectResult(testing_support::RunProgram(rows.program, in_place_args, dir.path(), options), 2, "",
                 "Error: parmsink: cannot write binary file.\n");
    EXPECT_TRUE(dir.Read("game.srl") == rows.image) << "the image was damaged";
    EXPECT_EQ(dir.List(), std::vector<std::string>{"game.srl"});
  }
}

}  // namespace argbury_test
