// The first generation's run, as bootcast drives it through ISDRAVO.DLL:
// the device search and selection, the download of the image, the start of
// the program and the monitor, up to the outcome that the finish reports.
#pragma once

#include "dravo_binding.h"
#include "loader_finish.h"
#include "loader_options.h"
#include "run_clock.h"

namespace loader {

/// bootcast's settings.
struct DravoOptions {
  RunSettings run;
  int kind_filter = 0;  // 0: any kind
  /// The waits around the reset (the tests shorten them).
  RunClockSettings clock;
};

/// The device listing of `-L`: kStatusList, or the error status.
int ListDravoDevices(const DravoApi& api, const Reporter& reporter);

/// A run from the device search to the end of the monitor. A run that ends
/// in the monitor switches both slots off, whatever the slot options were;
/// the error path leaves them alone.
Outcome RunDravo(const DravoOptions& options, const DravoApi& api, const Reporter& reporter);

}  // namespace loader
