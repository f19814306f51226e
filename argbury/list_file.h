// ROM list files: a text file that names the program binary to bury the
// arguments in and the folder that its path is relative to.
#pragma once

#include <cstdio>
#include <string>

#include "arg_buffer.h"

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

/// Reads the list from the current position of `file`, line by line (a line
/// over 64 KiB is ignored). Every line that names the binary packs its file
/// name into `buffer` at once. kNoSource when no line names a binary.
ListStatus ReadListFile(FILE* file, const ListRules& rules, ArgBuffer* buffer, ListContents* list);

}  // namespace argbury
