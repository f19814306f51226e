// C initialiser text for the converters' arrays: hexadecimal values laid out
// in lines of N ("\t" before the first value of each group, "\n" after the
// last), formatted from tables rather than one formatted print per value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace textout {

/// How one value is written.
enum class HexForm {
  kWord,        // "0x%04x,"
  kWordSpaced,  // "0x%04x, "
  kByteSpaced,  // "0x%02x, " (values below 0x100)
};

/// Appends `count` values to `out` as they stand at `position`,
/// `position + 1`... of an array laid out in lines of `per_line` values, so
/// an array may be written in pieces. A last partial line gets no line end.
void AppendValueLines(const uint16_t* values, size_t count, size_t position, int per_line, HexForm form,
                      std::string* out);
void AppendValueLines(const uint8_t* values, size_t count, size_t position, int per_line, HexForm form,
                      std::string* out);

/// Text handed on in large blocks: pieces are collected in a buffer that is
/// passed to the sink whenever it holds about a megabyte, and at Flush().
/// After the sink has failed once, nothing more is passed on.
class BlockOutput {
 public:
  /// Writes `size` bytes; false when they could not all be written.
  using Sink = std::function<bool(const char* data, size_t size)>;

  explicit BlockOutput(Sink sink) : sink_(std::move(sink)) {}

  void Append(const std::string& text) { buffer_ += text; }
  /// Appends a whole array (or the next piece of one, from `position`) in
  /// lines of `per_line`, handing full blocks on as it goes.
  template <typename Value>
  void AppendValues(const Value* values, size_t count, size_t position, int per_line, HexForm form) {
    constexpr size_t kPiece = 64 * 1024;
    for (size_t done = 0; done < count && !failed_; done += kPiece) {
      const size_t n = count - done < kPiece ? count - done : kPiece;
      AppendValueLines(values + done, n, position + done, per_line, form, &buffer_);
      FlushIfFull();
    }
  }
  /// Hands on what is buffered; false once any block has failed.
  bool Flush();
  bool failed() const { return failed_; }

 private:
  void FlushIfFull() {
    if (buffer_.size() >= kBlock) Flush();
  }
  static constexpr size_t kBlock = 1 << 20;

  Sink sink_;
  std::string buffer_;
  bool failed_ = false;
};

}  // namespace textout
