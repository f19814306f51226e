#include "value_lines.h"

namespace textout {

namespace {

struct HexPairs {
  char text[256][2];
  HexPairs() {
    const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 256; ++i) {
      text[i][0] = digits[i >> 4];
      text[i][1] = digits[i & 15];
    }
  }
};

const HexPairs& Pairs() {
  static const HexPairs pairs;
  return pairs;
}

template <typename Value>
void AppendLines(const Value* values, size_t count, size_t position, int per_line, HexForm form,
                 std::string* out) {
  if (count == 0 || per_line <= 0) return;
  const HexPairs& pairs = Pairs();
  const bool word = form != HexForm::kByteSpaced;
  const bool spaced = form != HexForm::kWord;
  const size_t value_width = (word ? 7 : 5) + (spaced ? 1 : 0);
  const size_t lines = count / static_cast<size_t>(per_line) + 1;
  const size_t old_size = out->size();
  out->resize(old_size + count * value_width + 2 * lines);
  char* p = out->data() + old_size;
  size_t column = position % static_cast<size_t>(per_line);
  const size_t last_column = static_cast<size_t>(per_line) - 1;
  for (size_t i = 0; i < count; ++i) {
    const unsigned v = values[i];
    if (column == 0) *p++ = '\t';
    p[0] = '0';
    p[1] = 'x';
    if (word) {
      p[2] = pairs.text[(v >> 8) & 0xFF][0];
      p[3] = pairs.text[(v >> 8) & 0xFF][1];
      p[4] = pairs.text[v & 0xFF][0];
      p[5] = pairs.text[v & 0xFF][1];
      p[6] = ',';
      p += 7;
    } else {
      p[2] = pairs.text[v & 0xFF][0];
      p[3] = pairs.text[v & 0xFF][1];
      p[4] = ',';
      p += 5;
    }
    if (spaced) *p++ = ' ';
    if (column == last_column) {
      *p++ = '\n';
      column = 0;
    } else {
      ++column;
    }
  }
  out->resize(static_cast<size_t>(p - out->data()));
}

}  // namespace

void AppendValueLines(const uint16_t* values, size_t count, size_t position, int per_line, HexForm form,
                      std::string* out) {
  AppendLines(values, count, position, per_line, form, out);
}

void AppendValueLines(const uint8_t* values, size_t count, size_t position, int per_line, HexForm form,
                      std::string* out) {
  AppendLines(values, count, position, per_line, form, out);
}

bool BlockOutput::Flush() {
  if (!failed_ && !buffer_.empty() && !sink_(buffer_.data(), buffer_.size())) failed_ = true;
  buffer_.clear();
  return !failed_;
}

}  // namespace textout
