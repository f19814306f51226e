#include "list_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

constexpr size_t kMaxLine = 65536;
constexpr size_t kReadBlock = 64 * 1024;

}  // namespace

bool ListReader::Feed(const uint8_t* data, size_t size) {
  const uint8_t* const end = data + size;
  while (!too_long_ && data < end) {
    const uint8_t* newline = static_cast<const uint8_t*>(std::memchr(data, '\n', static_cast<size_t>(end - data)));
    const uint8_t* stop = newline != nullptr ? newline : end;
    const size_t length = static_cast<size_t>(stop - data);
    if (length > 0) line_started_ = true;
    const size_t room = kMaxLine - line_.size();
    line_.append(reinterpret_cast<const char*>(data), std::min(length, room));
    if (length > room) line_too_long_ = true;
    if (newline == nullptr) break;
    line_started_ = true;
    EndLine();
    data = newline + 1;
  }
  return !too_long_;
}

void ListReader::EndLine() {
  std::string text;
  if (!line_too_long_) {
    if (line_.compare(0, 2, "T,") == 0) {
      if (QuotedText(line_, 0, &text)) {
        list_->directory = text;
        list_->has_directory = true;
      }
    } else if (line_.compare(0, std::strlen(rules_.source_tag), rules_.source_tag) == 0 &&
               (list_->has_directory || !rules_.source_needs_directory) &&
               QuotedText(line_, rules_.source_quote_pair, &text)) {
      list_->source = text;
      named_ = true;
      if (!PackString(buffer_, FileNameOf(list_->source.c_str()))) too_long_ = true;
    }
  }
  line_.clear();
  line_started_ = false;
  line_too_long_ = false;
}

ListStatus ListReader::Finish() {
  if (!too_long_ && line_started_) EndLine();
  if (too_long_) return ListStatus::kTooLong;
  return named_ ? ListStatus::kOk : ListStatus::kNoSource;
}

ListStatus ReadListFile(const support::File& file, const ListRules& rules, ArgBuffer* buffer, ListContents* list) {
  ListReader reader(rules, buffer, list);
  std::vector<uint8_t> block(kReadBlock);
  for (uint64_t at = 0;;) {
    const long long n = file.ReadAt(at, block.data(), block.size());
    if (n < 0) return ListStatus::kReadError;
    if (n == 0 || !reader.Feed(block.data(), static_cast<size_t>(n))) break;
    at += static_cast<uint64_t>(n);
  }
  return reader.Finish();
}

}  // namespace argbury
