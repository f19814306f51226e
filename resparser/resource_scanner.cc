#include "resource_scanner.h"

#include <cstring>

namespace resparser {

namespace {

constexpr size_t kBlockSize = 8192;

bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\f'; }
bool IsLineBreak(int c) { return c == '\r' || c == '\n'; }

// Every byte but blanks, line breaks and the five punctuation characters
// belongs to a word, NUL, vertical tab and bytes from 0x80 up included.
bool IsWordByte(int c) {
  return c >= 0 && !IsBlank(c) && !IsLineBreak(c) && c != '"' && c != '<' && c != '>' && c != '[' && c != ']';
}

Token KeywordOrWord(const std::string& raw) {
  static const char* const kScalarTypes[] = {"S8", "S16", "S32", "S64", "U8", "U16", "U32", "U64", "BOOL"};
  for (const char* type : kScalarTypes) {
    if (raw == type) return Token::kScalarType;
  }
  if (raw == "STRING") return Token::kString;
  if (raw == "BINARY") return Token::kBinary;
  return Token::kWord;
}

}  // namespace

long MemorySource::Read(char* buffer, size_t size) {
  size_t n = data_.size() - pos_;
  if (n > size) n = size;
  if (n > chunk_) n = chunk_;
  if (n > 0) std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return static_cast<long>(n);
}

long FileSource::Read(char* buffer, size_t size) { return static_cast<long>(file_->Read(buffer, size)); }

Scanner::Scanner(ByteSource* source, ScanState* state) : source_(source), state_(state), buffer_(kBlockSize) {}

int Scanner::Peek() {
  if (pos_ < end_) return static_cast<unsigned char>(buffer_[pos_]);
  if (failed_) return -2;
  if (at_end_) return -1;
  long n = source_->Read(buffer_.data(), buffer_.size());
  if (n < 0) {
    failed_ = true;
    return -2;
  }
  if (n == 0) {
    at_end_ = true;
    return -1;
  }
  pos_ = 0;
  end_ = static_cast<size_t>(n);
  return static_cast<unsigned char>(buffer_[0]);
}

Token Scanner::Next() {
  for (;;) {
    int c = Peek();
    if (c == -2) return Token::kReadError;
    if (c == -1) return Token::kEnd;
    if (IsBlank(c)) {
      while (IsBlank(c)) {
        ++pos_;
        c = Peek();
      }
      continue;
    }
    if (IsLineBreak(c)) {
      // The whole run counts as one line, whatever it holds.
      while (IsLineBreak(c)) {
        ++pos_;
        c = Peek();
      }
      ++state_->line;
      continue;
    }
    switch (c) {
      case '[':
        ++pos_;
        return Token::kGroupOpen;
      case ']':
        ++pos_;
        return Token::kGroupClose;
      case '<':
        ++pos_;
        return Token::kResourceOpen;
      case '>':
        ++pos_;
        return Token::kResourceClose;
      case '"':
        ++pos_;
        return Token::kQuote;
      default:
        break;
    }
    raw_.clear();
    while (IsWordByte(c)) {
      // Take the rest of the block at once; Peek refills at its end.
      size_t start = pos_;
      while (pos_ < end_ && IsWordByte(static_cast<unsigned char>(buffer_[pos_]))) ++pos_;
      raw_.append(buffer_.data() + start, pos_ - start);
      c = Peek();
    }
    // A read error in the middle of a word ends the scan before the word.
    if (c == -2) return Token::kReadError;
    size_t nul = raw_.find('\0');
    text_.assign(raw_, 0, nul);
    state_->last_text = text_;
    state_->has_last_text = true;
    return KeywordOrWord(raw_);
  }
}

}  // namespace resparser
