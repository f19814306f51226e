#include "ppm_image.h"

#include <climits>
#include <cstdint>
#include <new>
#include <string>

#include "support/file_io.h"
#include "support/text_parse.h"

namespace ppm {

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A whole token holding a decimal number with an optional sign.
bool ParseNumber(const std::string& token, long long* value) {
  return support::ParseDecimalStrict(token.c_str(), LLONG_MIN, LLONG_MAX, value);
}

}  // namespace

bool ReadHeader(const uint8_t* data, size_t size, Header* header, Problem* problem) {
  Problem ignored;
  if (problem == nullptr) problem = &ignored;
  long long* const numbers[] = {&header->width, &header->height, &header->max_value};
  int tokens = 0;  // taken so far: the magic, then the three numbers
  size_t line = 0;
  while (line < size) {
    size_t end = line;
    while (end < size && data[end] != '\n') ++end;
    const size_t next = end < size ? end + 1 : size;
    if (data[line] != '#') {
      size_t pos = line;
      while (true) {
        while (pos < end && IsSpace(data[pos])) ++pos;
        if (pos == end) break;
        const size_t start = pos;
        while (pos < end && !IsSpace(data[pos])) ++pos;
        const std::string token(reinterpret_cast<const char*>(data + start), pos - start);
        if (tokens == 0) {
          if (token != "P6") {
            problem->what = token == "P3" ? Refusal::kPlainPpm : Refusal::kNotPpm;
            return false;
          }
        } else if (!ParseNumber(token, numbers[tokens - 1])) {
          problem->what = Refusal::kNotNumber;
          problem->token = tokens;
          return false;
        }
        if (++tokens == 4) {
          header->data_offset = next;
          return true;
        }
      }
    }
    line = next;
  }
  problem->what = Refusal::kHeaderEnds;
  problem->token = tokens;
  return false;
}

bool IsConvertible(const Header& header, Problem* problem) {
  Problem ignored;
  if (problem == nullptr) problem = &ignored;
  if (header.max_value != 255) {
    problem->what = Refusal::kMaxValue;
    problem->value = header.max_value;
    return false;
  }
  if (header.width <= 0 || header.height <= 0) {
    problem->what = Refusal::kSide;
    problem->token = header.width <= 0 ? 1 : 2;
    problem->value = header.width <= 0 ? header.width : header.height;
    return false;
  }
  if (header.width > kMaxPixelBytes || header.height > kMaxPixelBytes ||
      header.width * header.height > kMaxPixelBytes / 3) {
    problem->what = Refusal::kTooLarge;
    return false;
  }
  return true;
}

void PackPixels(const uint8_t* rgb, size_t count, uint16_t* out) {
  for (size_t i = 0; i < count; ++i, rgb += 3) out[i] = PackColor(rgb[0], rgb[1], rgb[2]);
}

LoadStatus LoadImage(const std::string& path, Image* image) {
  Problem& problem = image->problem;
  support::FileFacts facts;
  switch (support::ReadWholeFile(path, &image->file, UINT64_MAX, &facts)) {
    case support::ReadStatus::kOk:
      break;
    case support::ReadStatus::kCannotOpen:
      problem.what = Refusal::kCannotOpen;
      return LoadStatus::kCannotConvert;
    case support::ReadStatus::kNotRegular:
      problem.what = facts.is_directory ? Refusal::kFolder : Refusal::kNotRegular;
      return LoadStatus::kCannotConvert;
    case support::ReadStatus::kReadError:
      problem.what = Refusal::kReadError;
      return LoadStatus::kCannotConvert;
    case support::ReadStatus::kNoMemory:
      problem.what = Refusal::kNoMemory;
      return LoadStatus::kCannotConvert;
  }
  if (!ReadHeader(image->file.data(), image->file.size(), &image->header, &problem) ||
      !IsConvertible(image->header, &problem)) {
    return LoadStatus::kCannotConvert;
  }
  const size_t available = image->file.size() - image->header.data_offset;
  if (available < PixelBytes(image->header)) {
    problem.what = Refusal::kShortData;
    problem.have = available;
    problem.want = PixelBytes(image->header);
    return LoadStatus::kShortData;
  }
  image->pixels = image->file.data() + image->header.data_offset;
  return LoadStatus::kOk;
}

PaletteTable::PaletteTable(int capacity)
    : capacity_(capacity < 0 ? 0 : capacity > kMaxCapacity ? kMaxCapacity : capacity),
      slots_(new (std::nothrow) uint16_t[0x8000]()) {}

int PaletteTable::Append(uint16_t color) {
  if (count_ == capacity_) return -1;
  entries_[count_] = color;
  slots_[color & 0x7FFF] = static_cast<uint16_t>(++count_);
  return count_ - 1;
}

size_t IndexPixels(const uint8_t* rgb, size_t count, PaletteTable* table, uint8_t* indexes) {
  for (size_t i = 0; i < count; ++i, rgb += 3) {
    const int index = table->Lookup(PackColor(rgb[0], rgb[1], rgb[2]));
    if (index < 0) return i;
    indexes[i] = static_cast<uint8_t>(index);
  }
  return count;
}

}  // namespace ppm
