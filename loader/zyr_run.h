// The second generation's run, as bootcast.ZYR drives it through ISZYR.DLL:
// the device search and selection, the download and start that the library
// does from the image's path, and the watch over the output that the library
// pushes to the print callback, up to the outcome that the finish reports.
#pragma once

#include <string>

#include "loader_finish.h"
#include "loader_options.h"
#include "run_clock.h"
#include "zyr_binding.h"
#include "zyr_monitor.h"

namespace loader {

/// bootcast.ZYR's settings.
struct ZyrOptions {
  RunSettings run;
  bool dravo_mode = false;
  bool architecture_tags = false;
  bool console_tags = false;
  bool debug = false;
  int kind_filter = 0;  // 0: any kind
  /// The wait after the reset (the tests shorten it).
  RunClockSettings clock;
};

/// The name bootcast.ZYR gives the debugger in its messages.
inline constexpr const char* kZyrDebuggerName = "IS-ZYR-DEBUGGER";

/// The relay that the print callback feeds: process-wide, as the library
/// calls back with the user value 0 only, and never destroyed, so that a
/// late callback finds it whatever the order of exit.
ZyrRelay& TheZyrRelay();

/// The line that debug mode prints before each error message.
std::string ZyrLastErrorLine(const ZyrApi& api);

/// Prints the debugger's version, or that it cannot be read: the status is
/// kStatusDebuggerVersion either way.
int ShowZyrDebuggerVersion(const ZyrApi& api, const Reporter& reporter);

/// The device listing of `-L`: kStatusList, or the error status.
int ListZyrDevices(const ZyrApi& api, const Reporter& reporter);

/// A run from the device search to the end of the watch. The program's
/// output has stopped when it returns: no callback writes any more.
Outcome RunZyr(const ZyrOptions& options, const ZyrApi& api, const Reporter& reporter);

}  // namespace loader
