#include "list_file.h"

#include <cstring>

namespace argbury {

bool QuotedText(const std::string& line, int pair, std::string* text) {
  size_t open = std::string::npos;
  size_t from = 0;
  for (int quote = 0; quote <= 2 * pair; ++quote) {
    open = line.find('"', from);
    if (open == std::string::npos) return false;
    from = open + 1;
  }
  const size_t close = line.find('"', from);
  if (close == std::string::npos) return false;
  *text = line.substr(from, close - from);
  return true;
}

namespace {

// Longer lines name no usable path: they are read past and ignored, so that
// a huge file that merely begins like a list is never held in memory.
constexpr size_t kMaxLine = 65536;

// The next line (without its '\n') into `line`; false at the end of the file.
bool ReadLine(FILE* file, std::string* line, bool* too_long) {
  line->clear();
  *too_long = false;
  int c;
  bool any = false;
  while ((c = getc_unlocked(file)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (line->size() < kMaxLine) {
      line->push_back(static_cast<char>(c));
    } else {
      *too_long = true;
    }
  }
  return any;
}

}  // namespace

ListStatus ReadListFile(FILE* file, const ListRules& rules, ArgBuffer* buffer, ListContents* list) {
  std::string line;
  bool too_long = false;
  bool named = false;
  while (ReadLine(file, &line, &too_long)) {
    std::string text;
    if (too_long) continue;
    if (line.compare(0, 2, "T,") == 0) {
      if (QuotedText(line, 0, &text)) {
        list->directory = text;
        list->has_directory = true;
      }
    } else if (line.compare(0, std::strlen(rules.source_tag), rules.source_tag) == 0 &&
               (list->has_directory || !rules.source_needs_directory) &&
               QuotedText(line, rules.source_quote_pair, &text)) {
      list->source = text;
      named = true;
      if (!PackString(buffer, FileNameOf(list->source.c_str()))) return ListStatus::kTooLong;
    }
  }
  if (std::ferror(file)) return ListStatus::kReadError;
  return named ? ListStatus::kOk : ListStatus::kNoSource;
}

}  // namespace argbury
