// The verbose CCM trace as text: each label followed at once by a hex dump
// ("%02X " per byte, a line feed after every 16th byte and after a last
// partial line; an empty dump is a single line feed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "aes_modes.h"

namespace aescli {

/// Formats each trace point and hands the text to `sink` in pieces of at
/// most a few KiB (the formatted MAC input may be long).
class CcmTraceText : public aes::CcmTracer {
 public:
  explicit CcmTraceText(std::function<void(std::string_view)> sink) : sink_(std::move(sink)) {}
  ~CcmTraceText() override { Flush(); }
  CcmTraceText(const CcmTraceText&) = delete;
  CcmTraceText& operator=(const CcmTraceText&) = delete;

  void Trace(aes::CcmTracePoint point, const uint8_t* data, size_t size) override;

 private:
  void Dump(const char* label, const uint8_t* data, size_t size);
  void Begin(const char* label);
  void Bytes(const uint8_t* data, size_t size);
  void End();
  void Append(const char* text, size_t size);
  void Flush();

  std::function<void(std::string_view)> sink_;
  size_t count_ = 0;  // bytes in the current dump
  char text_[4096];
  size_t used_ = 0;
};

}  // namespace aescli
