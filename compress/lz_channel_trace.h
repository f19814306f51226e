// The encoder's reports in the words of the file-helper module's channels:
// the debug lines of a run with -d, and the error lines of a fatal refusal.
#pragma once

#include "lz_backward.h"

namespace backlz {

/// Writes each trace point of CompressBackward as its debug or error line.
class ChannelTracer : public CompressTracer {
 public:
  void Trace(CompressTracePoint point, const CompressSizes& sizes) override;
};

}  // namespace backlz
