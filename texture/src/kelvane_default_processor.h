// The library's own colour processor object.
#pragma once

#include "kelvane/kelvane.h"

namespace Kelvane::internal {

/// The default colour processor: created when the library is loaded, destroyed
/// when it is unloaded, shared by every texture without a processor of its own.
CColorProcessor* DefaultColorProcessor();

}  // namespace Kelvane::internal
