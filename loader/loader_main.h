// The life both loaders share: bind the device library, read the options,
// run, release the library and finish.
//
//   int main(int argc, char** argv) {
//     DravoApi api;
//     DravoOptions o;
//     const Reporter reporter("bootcast", StandardOutput());
//     return LoaderMain(argc, argv, reporter, &api, &o, ParseArgs, RunDravo);
//   }
#pragma once

#include <cstdio>
#include <string>

#include "library_binding.h"
#include "loader_finish.h"
#include "run_clock.h"
#include "support/platform.h"

namespace loader {

/// Binds `Api`'s library before anything else (a failure ends with
/// kErrorLibrary), then calls `parse` (kGoOn to go on) and `run`. Every end
/// releases the library and goes through Finish().
template <typename Api, typename Options>
int LoaderMain(int argc, char** argv, const Reporter& reporter, Api* api, Options* o,
               int (*parse)(int, char**, const Api&, const Reporter&, Options*),
               Outcome (*run)(const Options&, const Api&, const Reporter&)) {
  support::PrepareArguments(&argc, &argv);
  std::string detail;
  const BindResult bound = BindDeviceLibrary(api, &detail);
  if (bound != BindResult::kOk) {
    const std::string message = BindFailureMessage(bound, Api::kLibraryName, detail);
    return Finish(reporter, false, reporter.FailRun(message.c_str(), kErrorLibrary));
  }
  // Each text is written out as soon as it is received.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  o->clock = ReadRunClockSettings();
  Outcome outcome{parse(argc, argv, *api, reporter, o), StopReason::kNone};
  if (outcome.status == kGoOn) outcome = run(*o, *api, reporter);
  ReleaseDeviceLibrary(api);
  return Finish(reporter, o->run.quiet, outcome);
}

}  // namespace loader
