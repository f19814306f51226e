// What the end-to-end tests of both loaders share: the exit line, the
// statuses as the shell sees them, and the rows that every loader passes
// whatever its generation.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace loader_test {

using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempDir;

/// A negative status as the shell sees it.
constexpr int Status(int status) { return status & 0xFF; }

inline const std::string kExit = "*** Exit Dravo/Zyr program (status=";

/// A copy of `program` in a folder without its device library stops with
/// kErrorLibrary and the system's reason.
inline void ExpectLibraryCannotBeLoaded(const std::string& program, const std::string& tool,
                                        const std::string& library) {
  testing_support::TempDir dir;
  std::filesystem::create_directories(dir.File("bin"));
  const std::string copy = dir.File("bin/" + std::filesystem::path(program).filename().string());
  std::filesystem::copy_file(program, copy);
  dir.Write("g.srl", "");
  const testing_support::RunResult r = testing_support::RunProgram(copy, {"g.srl"}, dir.path());
  EXPECT_EQ(r.out.rfind("*** " + tool + ": Error: cannot load device library " + library + " (", 0), 0u) << r.out;
  EXPECT_EQ(r.status, Status(-10));
}

/// Where the system looks for a program's libraries first (Windows: the
/// program's own folder) and no library path of the user's comes before it,
/// a run is given another device library by running a copy of the program
/// beside it: the copy in dir/vendor/, with `library_bytes` as `library`.
inline std::string ProgramBesideLibrary(const TempDir& dir, const std::string& program, const std::string& library,
                                        const std::string& library_bytes) {
  dir.Write("vendor/" + library, library_bytes);
  const std::string copy = dir.File("vendor/" + std::filesystem::path(program).filename().string());
  std::filesystem::copy_file(program, copy);
  return copy;
}

/// How a loader meets the fault rows of every tool, with the image as
/// "g.srl": `truncated` (the image cut short) runs with `truncated_out`;
/// `fifo_out` is what a named pipe feeding the image gives (empty: the
/// loader refuses anything but a regular file).
struct LoaderRows {
  std::string program;
  std::string tool;  // the program's name in its messages
  std::string image;
  std::string truncated;
  std::string truncated_out;
  std::string fifo_out;
};

inline void ExpectLoaderFaultRows(const LoaderRows& loader) {
  using testing_support::Fault;
  const std::string error = "*** " + loader.tool + ": Error: ";
  testing_support::FaultTool tool;
  tool.program = loader.program;
  tool.inputs = {{"g.srl", loader.image}};
  tool.args = [](const std::string&) { return std::vector<std::string>{"g.srl"}; };
  tool.writes_output = false;
  tool.input = "g.srl";
  tool.truncated = loader.truncated;
  tool.env = {"BOOTCAST_TEST_SETTLE_MS=0"};
  // The image is sent as it is: a short one runs with what it holds. A lost
  // standard output fails the run that would otherwise succeed.
  tool.outcome = [&](Fault fault, const std::string&) -> testing_support::Outcome {
    if (fault == Fault::kInputIsFifo && !loader.fifo_out.empty()) return {0, loader.fifo_out, ""};
    if (fault == Fault::kInputTruncated) return {0, loader.truncated_out, ""};
    if (fault == Fault::kStdoutFull) return {1, "", error + "cannot write standard output.\n"};
    return {252, error + "cannot open input file.\n", ""};
  };
  tool.strict_rows = true;
  testing_support::ExpectFaultRows(tool);
}

}  // namespace loader_test
