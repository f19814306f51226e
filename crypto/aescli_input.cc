#include "aescli_input.h"

#include <new>

#include "aes.h"
#include "support/file_io.h"
#include "support/text_parse.h"

namespace aes {

namespace {

constexpr size_t kStartSize = 1048576;

// The containers report a lack of memory only by throwing.
bool Resize(std::vector<uint8_t>* bytes, size_t size) {
  try {
    bytes->resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

InputStatus ReadInputFile(const char* path, std::vector<uint8_t>* out, InputFailure* failure) {
  support::FileFacts facts;
  switch (support::ReadWholeFile(path, out, SIZE_MAX, &facts)) {
    case support::ReadStatus::kOk:
      return InputStatus::kOk;
    case support::ReadStatus::kCannotOpen:
      return InputStatus::kCannotOpen;
    case support::ReadStatus::kNotRegular:
      // A folder opens but has no bytes to give; other kinds have no size.
      return facts.is_directory ? InputStatus::kShortRead : InputStatus::kCannotSeek;
    case support::ReadStatus::kNoMemory:
      failure->size = static_cast<size_t>(facts.size);
      return InputStatus::kNoMemory;
    case support::ReadStatus::kReadError:
      break;
  }
  return InputStatus::kShortRead;
}

InputStatus ReadFileStart(const char* path, size_t size, uint8_t* out) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return InputStatus::kCannotOpen;
  const size_t got = std::fread(out, 1, size, file);
  std::fclose(file);
  return got == size ? InputStatus::kOk : InputStatus::kShortRead;
}

InputStatus ReadCount(FILE* in, size_t count, std::vector<uint8_t>* out, InputFailure* failure) {
  out->clear();
  if (!Resize(out, count)) {
    failure->size = count;
    return InputStatus::kNoMemory;
  }
  const size_t got = count == 0 ? 0 : std::fread(out->data(), 1, count, in);
  return got == count ? InputStatus::kOk : InputStatus::kShortRead;
}

InputStatus ReadToEnd(FILE* in, std::vector<uint8_t>* out, InputFailure* failure) {
  out->clear();
  size_t size = 0;
  for (size_t room = kStartSize;; room *= 2) {
    if (!Resize(out, room)) {
      failure->size = room;
      return InputStatus::kNoMemory;
    }
    size += std::fread(out->data() + size, 1, room - size, in);
    if (size < room) break;
  }
  out->resize(size);
  return std::ferror(in) ? InputStatus::kShortRead : InputStatus::kOk;
}

void DecodeHexLenient(const char* digits, size_t byte_count, uint8_t* out) {
  auto value = [](char c) {
    const int v = support::HexDigitValue(c);
    return v < 0 ? 0 : v;
  };
  for (size_t i = 0; i < byte_count; ++i) {
    out[i] = static_cast<uint8_t>(value(digits[2 * i]) << 4 | value(digits[2 * i + 1]));
  }
}

}  // namespace aes
