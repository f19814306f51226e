#include "lz_channel_trace.h"

#include "file_helpers.h"

namespace backlz {

using filehelp::DebugPrint;
using filehelp::ErrorPrint;

void ChannelTracer::Trace(CompressTracePoint point, const CompressSizes& sizes) {
  switch (point) {
    case CompressTracePoint::kNoMemory:
      ErrorPrint("Cannot allocate memory size=%d\n", sizes.source);
      break;
    case CompressTracePoint::kMisaligned:
      ErrorPrint("Top of buffer is not aligned by 4.\n");
      break;
    case CompressTracePoint::kStreamTooLong:
      DebugPrint("Compressed buffer size exceeds original data size.\n");
      break;
    case CompressTracePoint::kFirstPass:
      DebugPrint("1: source size = %d  compressed = %d\n", sizes.source, sizes.stream);
      break;
    case CompressTracePoint::kRawPrefix:
      DebugPrint(
          "  !! Shrink back Compressed region to avoid overwriting.\n"
          "  !! Expand non-compressed region = +%d\n"
          "2: source size = %d  compressed = %d\n",
          sizes.raw_prefix, sizes.source - sizes.raw_prefix, sizes.stream);
      break;
    case CompressTracePoint::kImageNotShorter:
      DebugPrint("Compressed buffer size exceeds or equals original data size.\n");
      break;
  }
}

}  // namespace backlz
