#include "ccm_trace_text.h"

#include <cstdio>
#include <cstring>

namespace aescli {

namespace {

using aes::CcmTracePoint;

// The points that dump one value, with their labels.
constexpr struct {
  CcmTracePoint point;
  const char* label;
} kDumps[] = {
    {CcmTracePoint::kKey, "key     "},         {CcmTracePoint::kNonce, "nonce   "},
    {CcmTracePoint::kAdata, "adata   "},       {CcmTracePoint::kPdata, "pdata   "},
    {CcmTracePoint::kCdata, "cdata   "},       {CcmTracePoint::kReceivedTag, "tag     "},
    {CcmTracePoint::kTag, "tag       "},       {CcmTracePoint::kDecryptedTag, "dec_tag "},
    {CcmTracePoint::kComputedTag, "cmp_tag "},
};

}  // namespace

void CcmTraceText::Trace(CcmTracePoint point, const uint8_t* data, size_t size) {
  switch (point) {
    case CcmTracePoint::kTagLength: {
      char line[32];
      const int n = std::snprintf(line, sizeof line, "tag_len %d\n", static_cast<int>(size));
      Append(line, static_cast<size_t>(n));
      Flush();
      return;
    }
    case CcmTracePoint::kFormattedBegin:
      Begin("formatted ");
      return;
    case CcmTracePoint::kFormattedBytes:
      Bytes(data, size);
      return;
    case CcmTracePoint::kFormattedEnd:
      End();
      return;
    default:
      break;
  }
  for (const auto& dump : kDumps) {
    if (dump.point == point) Dump(dump.label, data, size);
  }
}

void CcmTraceText::Dump(const char* label, const uint8_t* data, size_t size) {
  Begin(label);
  Bytes(data, size);
  End();
}

void CcmTraceText::Begin(const char* label) {
  count_ = 0;
  Append(label, std::strlen(label));
}

void CcmTraceText::Bytes(const uint8_t* data, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < size; ++i) {
    const char text[3] = {kDigits[data[i] >> 4], kDigits[data[i] & 15], ' '};
    Append(text, 3);
    if (++count_ % 16 == 0) Append("\n", 1);
  }
}

void CcmTraceText::End() {
  if (count_ == 0 || count_ % 16 != 0) Append("\n", 1);
  Flush();
}

void CcmTraceText::Append(const char* text, size_t size) {
  if (used_ + size > sizeof(text_)) Flush();
  std::memcpy(text_ + used_, text, size);
  used_ += size;
}

void CcmTraceText::Flush() {
  if (used_ != 0) sink_(std::string_view(text_, used_));
  used_ = 0;
}

}  // namespace aescli
