#include "aescli_input.h"

#include <new>

#include "support/file_io.h"
#include "support/text_parse.h"

namespace aescli {

namespace {

constexpr size_t kPiece = size_t{1} << 20;

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

InputStatus OpenInputFile(const char* path, support::File* file) {
  switch (file->Open(path, support::File::Mode::kReadRegular)) {
    case support::File::OpenStatus::kOk:
      return InputStatus::kOk;
    case support::File::OpenStatus::kCannotOpen:
      return InputStatus::kCannotOpen;
    case support::File::OpenStatus::kIsDirectory:
      return InputStatus::kShortRead;
    case support::File::OpenStatus::kNotRegular:
      break;
  }
  return InputStatus::kCannotSeek;
}

InputStatus ReadFileStart(const char* path, size_t size, uint8_t* out) {
  support::File file;
  switch (file.Open(path, support::File::Mode::kReadAny)) {
    case support::File::OpenStatus::kOk:
      break;
    case support::File::OpenStatus::kIsDirectory:
      return InputStatus::kShortRead;
    case support::File::OpenStatus::kCannotOpen:
    case support::File::OpenStatus::kNotRegular:
      return InputStatus::kCannotOpen;
  }
  return file.Read(out, size) == static_cast<long long>(size) ? InputStatus::kOk : InputStatus::kShortRead;
}

InputStatus ReadCount(support::File* in, size_t count, std::vector<uint8_t>* out, InputFailure* failure) {
  out->clear();
  if (!Resize(out, count)) {
    failure->size = count;
    return InputStatus::kNoMemory;
  }
  const long long got = count == 0 ? 0 : in->Read(out->data(), count);
  return got == static_cast<long long>(count) ? InputStatus::kOk : InputStatus::kShortRead;
}

bool SkipToEnd(support::File* in) {
  std::vector<uint8_t> piece(kPiece);
  for (;;) {
    const long long got = in->Read(piece.data(), piece.size());
    if (got < 0) return false;
    if (static_cast<size_t>(got) < piece.size()) return true;
  }
}

InputStatus SetAside(support::File* in, uint64_t keep, std::FILE** scratch, uint64_t* size) {
  *scratch = support::OpenScratchFile();
  if (*scratch == nullptr) return InputStatus::kNoScratch;
  std::vector<uint8_t> piece(kPiece);
  *size = 0;
  for (;;) {
    const long long got = in->Read(piece.data(), piece.size());
    if (got < 0) return InputStatus::kShortRead;
    const uint64_t count = static_cast<uint64_t>(got);
    const uint64_t kept = *size >= keep ? 0 : (keep - *size < count ? keep - *size : count);
    if (kept != 0 && std::fwrite(piece.data(), 1, kept, *scratch) != kept) return InputStatus::kNoScratch;
    *size += count;
    if (count < piece.size()) break;
  }
  if (std::fflush(*scratch) != 0 || std::fseek(*scratch, 0, SEEK_SET) != 0) return InputStatus::kNoScratch;
  return InputStatus::kOk;
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

}  // namespace aescli
