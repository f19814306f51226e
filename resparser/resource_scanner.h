// The scanner of the resource description language: bytes in, tokens out.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "support/platform.h"

namespace resparser {

/// Where the bytes of a description come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  /// Reads up to `size` bytes into `buffer`: the count, 0 at the end of the
  /// input, or -1 on a read error.
  virtual long Read(char* buffer, size_t size) = 0;
};

/// A description held in memory, handed out in pieces of at most `chunk`
/// bytes (so tests can cut it anywhere).
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string data, size_t chunk = 8192) : data_(std::move(data)), chunk_(chunk ? chunk : 1) {}
  long Read(char* buffer, size_t size) override;

 private:
  std::string data_;
  size_t chunk_;
  size_t pos_ = 0;
};

/// Reads an open file: a regular file, a pipe or standard input.
class FileSource : public ByteSource {
 public:
  explicit FileSource(support::File* file) : file_(file) {}
  long Read(char* buffer, size_t size) override;

 private:
  support::File* file_;
};

enum class Token {
  kEnd,            // end of input
  kGroupOpen,      // [
  kGroupClose,     // ]
  kResourceOpen,   // <
  kResourceClose,  // >
  kQuote,          // "
  kScalarType,     // S8 S16 S32 S64 U8 U16 U32 U64 BOOL
  kString,         // STRING
  kBinary,         // BINARY
  kWord,
  kReadError,  // the input could not be read
};

/// What the scanner keeps for the whole run, across descriptions.
struct ScanState {
  /// Starts at 1; one more for each run of carriage returns and line feeds.
  long long line = 1;
  /// The text of the most recent word or keyword; `has_last_text` is false
  /// until the first one.
  std::string last_text;
  bool has_last_text = false;
};

/// Splits a description into tokens, always taking the longest match; a
/// keyword beats a word of the same length.
class Scanner {
 public:
  Scanner(ByteSource* source, ScanState* state);

  /// The next token. Words and keywords also set `text()` and the last text
  /// of the state; a word's text ends before its first NUL byte.
  Token Next();
  const std::string& text() const { return text_; }

 private:
  // The next byte without taking it; -1 at the end, -2 on a read error.
  int Peek();

  ByteSource* source_;
  ScanState* state_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool at_end_ = false;
  bool failed_ = false;
  std::string raw_;
  std::string text_;
};

}  // namespace resparser
