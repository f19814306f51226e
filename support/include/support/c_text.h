// C source text for the tools that write arrays and tables: hexadecimal
// initialiser values laid out in lines, formatted from tables rather than one
// formatted print per value, and handed on in large blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace support {

/// How the values of an array are laid out.
struct HexLayout {
  int digits = 2;              // hexadecimal digits per value: 2, 4 or 8
  bool upper_case = false;     // "0xAB" rather than "0xab"
  bool space_after = false;    // ", " after each value rather than ","
  size_t per_line = 16;        // values per line
  const char* line_open = "";  // before the first value of each line ("\t", "\n")
  const char* line_close = "";  // after the last value of each full line ("\n")
};

/// Receives the next piece of text; false when it could not be written.
using TextSink = std::function<bool(const char* data, size_t size)>;

/// Text collected in a buffer and handed to the sink whenever it holds about
/// a megabyte, and at Flush(). After the sink has failed once, nothing more
/// is handed on and failed() tells.
class CTextWriter {
 public:
  explicit CTextWriter(TextSink sink) : sink_(std::move(sink)) {}
  CTextWriter(const CTextWriter&) = delete;
  CTextWriter& operator=(const CTextWriter&) = delete;

  void Append(std::string_view text);
  /// Appends `count` values as they stand at `position`, `position + 1`...
  /// of an array laid out by `layout`, so that an array may be written in
  /// pieces. A last partial line gets no `line_close`.
  void AppendValues(const uint8_t* values, size_t count, size_t position, const HexLayout& layout);
  void AppendValues(const uint16_t* values, size_t count, size_t position, const HexLayout& layout);
  void AppendValues(const uint32_t* values, size_t count, size_t position, const HexLayout& layout);
  /// The same for `count` elements of `width` bytes (1, 2 or 4) stored
  /// little-endian at `bytes`.
  void AppendLittleEndian(const uint8_t* bytes, size_t count, int width, size_t position, const HexLayout& layout);

  /// Hands on what is buffered; false once any piece has failed.
  bool Flush();
  bool failed() const { return failed_; }

 private:
  template <typename Value>
  void AppendLines(const Value* values, size_t count, size_t position, const HexLayout& layout);
  void FlushIfFull();

  TextSink sink_;
  std::string buffer_;
  bool failed_ = false;
};

/// How a name fares as an identifier in generated C source.
enum class CNameStatus { kValid, kNotIdentifier, kKeyword };

/// kValid for a name made of ASCII letters, digits and '_' that does not
/// begin with a digit and is no keyword of any C standard up to C23.
CNameStatus CheckCName(std::string_view name);

}  // namespace support
