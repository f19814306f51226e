#include "support/c_text.h"

#include <algorithm>
#include <cstring>

#include "support/byte_order.h"

namespace support {
namespace {

constexpr size_t kBlock = size_t{1} << 20;
// Values formatted per step: small enough to keep the buffer near kBlock.
constexpr size_t kPiece = 64 * 1024;

struct HexPairs {
  char lower[256][2];
  char upper[256][2];
  HexPairs() {
    const char small[] = "0123456789abcdef";
    const char large[] = "0123456789ABCDEF";
    for (int i = 0; i < 256; ++i) {
      lower[i][0] = small[i >> 4];
      lower[i][1] = small[i & 15];
      upper[i][0] = large[i >> 4];
      upper[i][1] = large[i & 15];
    }
  }
};

const HexPairs& Pairs() {
  static const HexPairs pairs;
  return pairs;
}

// Formats `count` values, the first of them in column `column` of its line,
// into `p`, and returns the end. The digit count is a template argument, so
// that the inner loop runs over a line with no branch of its own.
template <int kBytes, typename Value>
char* FormatLines(const Value* values, size_t count, size_t column, const HexLayout& layout, char* p) {
  const char(*pairs)[2] = layout.upper_case ? Pairs().upper : Pairs().lower;
  const size_t open_length = std::strlen(layout.line_open);
  const size_t close_length = std::strlen(layout.line_close);
  const size_t separator = layout.space_after ? 2 : 1;
  size_t i = 0;
  while (i < count) {
    if (column == 0) {
      std::memcpy(p, layout.line_open, open_length);
      p += open_length;
    }
    const size_t take = std::min(count - i, layout.per_line - column);
    for (const size_t end = i + take; i < end; ++i) {
      const uint32_t v = values[i];
      p[0] = '0';
      p[1] = 'x';
      p += 2;
      for (int b = kBytes - 1; b >= 0; --b) {
        const char* pair = pairs[(v >> (8 * b)) & 0xFF];
        p[0] = pair[0];
        p[1] = pair[1];
        p += 2;
      }
      // Both separator bytes are stored; only the layout's count is kept.
      p[0] = ',';
      p[1] = ' ';
      p += separator;
    }
    column += take;
    if (column == layout.per_line) {
      std::memcpy(p, layout.line_close, close_length);
      p += close_length;
      column = 0;
    }
  }
  return p;
}

}  // namespace

void CTextWriter::Append(std::string_view text) {
  if (failed_) return;
  buffer_.append(text.data(), text.size());
  FlushIfFull();
}

template <typename Value>
void CTextWriter::AppendLines(const Value* values, size_t count, size_t position, const HexLayout& layout) {
  if (count == 0 || layout.per_line == 0 || failed_) return;
  const size_t bytes = static_cast<size_t>(layout.digits) / 2;
  const size_t value_width = 2 + 2 * bytes + 2;
  const size_t lines = count / layout.per_line + 2;
  const size_t old_size = buffer_.size();
  buffer_.resize(old_size + count * value_width + lines * (std::strlen(layout.line_open) + std::strlen(layout.line_close)));
  char* p = buffer_.data() + old_size;
  const size_t column = position % layout.per_line;
  switch (bytes) {
    case 1:
      p = FormatLines<1>(values, count, column, layout, p);
      break;
    case 2:
      p = FormatLines<2>(values, count, column, layout, p);
      break;
    default:
      p = FormatLines<4>(values, count, column, layout, p);
      break;
  }
  buffer_.resize(static_cast<size_t>(p - buffer_.data()));
}

void CTextWriter::AppendValues(const uint8_t* values, size_t count, size_t position, const HexLayout& layout) {
  for (size_t done = 0; done < count && !failed_; done += kPiece) {
    const size_t n = count - done < kPiece ? count - done : kPiece;
    AppendLines(values + done, n, position + done, layout);
    FlushIfFull();
  }
}

void CTextWriter::AppendValues(const uint16_t* values, size_t count, size_t position, const HexLayout& layout) {
  for (size_t done = 0; done < count && !failed_; done += kPiece) {
    const size_t n = count - done < kPiece ? count - done : kPiece;
    AppendLines(values + done, n, position + done, layout);
    FlushIfFull();
  }
}

void CTextWriter::AppendValues(const uint32_t* values, size_t count, size_t position, const HexLayout& layout) {
  for (size_t done = 0; done < count && !failed_; done += kPiece) {
    const size_t n = count - done < kPiece ? count - done : kPiece;
    AppendLines(values + done, n, position + done, layout);
    FlushIfFull();
  }
}

void CTextWriter::AppendLittleEndian(const uint8_t* bytes, size_t count, int width, size_t position,
                                     const HexLayout& layout) {
  if (width == 1) {
    AppendValues(bytes, count, position, layout);
    return;
  }
  // The elements are loaded a piece at a time, whatever the host's order.
  uint32_t piece[4096];
  const size_t w = static_cast<size_t>(width);
  for (size_t done = 0; done < count && !failed_;) {
    const size_t n = count - done < 4096 ? count - done : 4096;
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* e = bytes + (done + i) * w;
      piece[i] = width == 2 ? LoadLe16(e) : LoadLe32(e);
    }
    AppendLines(piece, n, position + done, layout);
    FlushIfFull();
    done += n;
  }
}

void CTextWriter::FlushIfFull() {
  if (buffer_.size() >= kBlock) Flush();
}

bool CTextWriter::Flush() {
  if (!failed_ && !buffer_.empty() && !sink_(buffer_.data(), buffer_.size())) failed_ = true;
  buffer_.clear();
  return !failed_;
}

CNameStatus CheckCName(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return CNameStatus::kNotIdentifier;
  for (char c : name) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '_') return CNameStatus::kNotIdentifier;
  }
  // C99, C11 and C23: a name that one compiler reads as a keyword fails there.
  static const char* const kKeywords[] = {
      "auto", "break", "case", "char", "const", "continue", "default", "do", "double", "else", "enum",
      "extern", "float", "for", "goto", "if", "inline", "int", "long", "register", "restrict", "return",
      "short", "signed", "sizeof", "static", "struct", "switch", "typedef", "union", "unsigned", "void",
      "volatile", "while", "_Bool", "_Complex", "_Imaginary", "_Alignas", "_Alignof", "_Atomic", "_Generic",
      "_Noreturn", "_Static_assert", "_Thread_local", "alignas", "alignof", "bool", "constexpr", "false",
      "nullptr", "static_assert", "thread_local", "true", "typeof", "typeof_unqual", "_BitInt", "_Decimal32",
      "_Decimal64", "_Decimal128"};
  for (const char* keyword : kKeywords) {
    if (name == keyword) return CNameStatus::kKeyword;
  }
  return CNameStatus::kValid;
}

}  // namespace support
