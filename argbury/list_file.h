// ROM list files: a text file that names the program binary to bury the
// arguments in and the folder that its path is relative to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "arg_buffer.h"
#include "support/platform.h"

namespace argbury {

/// How a generation's list names its binary.
struct ListRules {
  /// Start of the line that names the binary ("9," or "H,").
  const char* source_tag;
  /// Which quoted text of that line is the path: 0 for the first (between
  /// the first and second double quote), 1 for the second, and so on.
  int source_quote_pair;
  /// True when such a line counts only after a "T," line.
  bool source_needs_directory;
};

enum class ListStatus { kOk, kTooLong, kNoSource, kReadError };

/// What the list says.
struct ListContents {
  bool has_directory = false;
  /// The folder of the last "T," line.
  std::string directory;
  /// The path of the last line that names the binary.
  std::string source;
};

/// The text between double quotes number 2*pair+1 and 2*pair+2 of `line`;
/// false when the line has not that many.
bool QuotedText(const std::string& line, int pair, std::string* text);

/// Reads a list fed in blocks of any size, line by line (a line ends at
/// '\n'; one over 64 KiB is ignored, so that a huge file that merely begins
/// like a list is never held in memory). Every line that names the binary
/// packs its file name into `buffer` at once.
class ListReader {
 public:
  ListReader(const ListRules& rules, ArgBuffer* buffer, ListContents* list)
      : rules_(rules), buffer_(buffer), list_(list) {}
  /// Reads the next bytes; false once the names no longer fit the buffer
  /// (Finish() then says kTooLong, and further bytes are ignored).
  bool Feed(const uint8_t* data, size_t size);
  /// Ends the list (its last line may lack a '\n'): kOk, kTooLong, or
  /// kNoSource when no line named a binary.
  ListStatus Finish();

 private:
  void EndLine();

  ListRules rules_;
  ArgBuffer* buffer_;
  ListContents* list_;
  std::string line_;
  bool line_started_ = false;
  bool line_too_long_ = false;
  bool named_ = false;
  bool too_long_ = false;
};

/// Reads the whole list from the start of `file` through a ListReader;
/// kReadError when the file cannot be read.
ListStatus ReadListFile(const support::File& file, const ListRules& rules, ArgBuffer* buffer, ListContents* list);

}  // namespace argbury
