#include "list_file.h"

#include <cstdlib>
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

ListStatus ReadListFile(FILE* file, const ListRules& rules, ArgBuffer* buffer, ListContents* list) {
  char* raw = nullptr;
  size_t capacity = 0;
  ssize_t length;
  bool named = false;
  ListStatus status = ListStatus::kOk;
  // Whole lines, however long: a long line is never split into two.
  while ((length = getline(&raw, &capacity, file)) >= 0) {
    const std::string line(raw, static_cast<size_t>(length));
    std::string text;
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
      if (!PackString(buffer, FileNameOf(list->source.c_str()))) {
        status = ListStatus::kTooLong;
        break;
      }
    }
  }
  if (status == ListStatus::kOk && std::ferror(file)) status = ListStatus::kReadError;
  std::free(raw);
  if (status == ListStatus::kOk && !named) status = ListStatus::kNoSource;
  return status;
}

}  // namespace argbury
