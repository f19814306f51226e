// aescli's value forms on arbitrary bytes: "hex:" values of the fixed sizes
// and of the tag, file values (the first bytes of a file, and whole files),
// and the counted and open-ended reads of standard input with "stdin:N"
// counts. Files, standard input among them, are anonymous memory files
// reached through /proc/self/fd, so nothing is written to disk.
//
// Input: byte 0 picks the form and the fixed size, bytes 1.. up to the first
// NUL are the option's argument, and the bytes after it the file or stream.
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "aescli_input.h"
#include "support/platform.h"
#include "support/text_parse.h"

namespace {

using aescli::InputStatus;

const char kDigits[] = "0123456789abcdef";

// The digits the bytes re-encode to: lower case, two per byte.
std::string Encode(const uint8_t* bytes, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 15]);
  }
  return text;
}

// What the lenient decoding must give back: every digit in lower case, every
// other character as '0'.
std::string Expected(const char* digits, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    const unsigned char c = static_cast<unsigned char>(digits[i]);
    text.push_back(std::isxdigit(c) ? static_cast<char>(std::tolower(c)) : '0');
  }
  return text;
}

bool AllDigits(const char* digits, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (support::HexDigitValue(digits[i]) < 0) return false;
  }
  return true;
}

// A "hex:" value as aescli takes it for a fixed size: exactly 2 * size
// characters are accepted, any other count leaves the value absent. The
// digits sit in a buffer of exactly their length (no terminator), so that a
// read past them is caught.
void CheckFixedHex(const std::string& arg, size_t size) {
  if (arg.compare(0, 4, "hex:") != 0) return;
  const std::vector<char> digits(arg.begin() + 4, arg.end());
  if (digits.size() != 2 * size) return;  // "'hex' length mismatch": nothing decoded
  uint8_t value[16];
  std::memset(value, 0xA5, sizeof value);
  aescli::DecodeHexLenient(digits.data(), size, value);
  for (size_t i = size; i < sizeof value; ++i) {
    if (value[i] != 0xA5) __builtin_trap();  // written past the value
  }
  if (Encode(value, size) != Expected(digits.data(), digits.size())) __builtin_trap();
  uint8_t strict[16];
  const bool whole = support::DecodeHexStrict(digits.data(), size, strict);
  if (whole != AllDigits(digits.data(), digits.size())) __builtin_trap();
  if (whole && std::memcmp(strict, value, size) != 0) __builtin_trap();
}

// The tag's "hex:" form: an even count of characters gives count / 2 bytes.
void CheckTagHex(const std::string& arg) {
  if (arg.compare(0, 4, "hex:") != 0) {
    support::ParseIntPrefix(arg.c_str());  // the MAC length as a number
    return;
  }
  const std::vector<char> digits(arg.begin() + 4, arg.end());
  if (digits.size() % 2 != 0) return;  // "'hex' length must be multiple of 2"
  const size_t count = digits.size() / 2;
  std::vector<uint8_t> tag(count);
  aescli::DecodeHexLenient(digits.data(), count, tag.data());
  if (Encode(tag.data(), count) != Expected(digits.data(), digits.size())) __builtin_trap();
}

// An anonymous file holding `bytes`, named as /proc/self/fd/N; -1 on failure.
int MemoryFile(const uint8_t* bytes, size_t size, std::string* path) {
  const int fd = memfd_create("value", 0);
  if (fd < 0) return -1;
  if (size > 0 && write(fd, bytes, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return -1;
  }
  *path = "/proc/self/fd/" + std::to_string(fd);
  return fd;
}

// A file value: the first `size` bytes of the file, a short file refused.
// The whole-file read of -p and -a gives exactly the file's bytes.
void CheckFiles(const uint8_t* bytes, size_t count, size_t size) {
  std::string path;
  const int fd = MemoryFile(bytes, count, &path);
  if (fd < 0) return;
  uint8_t value[17];
  std::memset(value, 0xA5, sizeof value);
  const InputStatus status = aescli::ReadFileStart(path.c_str(), size, value);
  if (value[size] != 0xA5) __builtin_trap();  // read past the value
  if (count >= size) {
    if (status != InputStatus::kOk || std::memcmp(value, bytes, size) != 0) __builtin_trap();
  } else if (status != InputStatus::kShortRead) {
    __builtin_trap();
  }
  std::vector<uint8_t> whole(3, 7);
  aescli::InputFailure failure;
  if (aescli::ReadInputFile(path.c_str(), &whole, &failure) != InputStatus::kOk) __builtin_trap();
  if (whole.size() != count || (count > 0 && std::memcmp(whole.data(), bytes, count) != 0)) __builtin_trap();
  close(fd);
  // The same path once the file is gone does not open.
  if (aescli::ReadFileStart(path.c_str(), size, value) != InputStatus::kCannotOpen) __builtin_trap();
}

// "stdin:N": N read from the text after the prefix (a negative count is
// refused by aescli before reading), then exactly N bytes of standard input,
// and the rest of it set aside to its end as the input text (CCM), keeping
// at most a chosen count but counting every byte.
void CheckStdin(const std::string& arg, const uint8_t* bytes, size_t count) {
  if (arg.compare(0, 6, "stdin:") != 0) return;
  bool out_of_range = false;
  const long long n = support::ParseDecimalPrefix(arg.c_str() + 6, &out_of_range);
  if (n < 0) return;  // "invalid stdin count"
  // Counts far beyond the stream would only measure the allocator.
  if (static_cast<unsigned long long>(n) > count + 4096) return;
  std::string path;
  const int fd = MemoryFile(bytes, count, &path);
  if (fd < 0) return;
  support::File in;
  if (in.Open(path, support::File::Mode::kReadAny) != support::File::OpenStatus::kOk) __builtin_trap();
  close(fd);
  const size_t want = static_cast<size_t>(n);
  std::vector<uint8_t> adata(5, 1);
  aescli::InputFailure failure;
  const InputStatus status = aescli::ReadCount(&in, want, &adata, &failure);
  if (want > count) {
    if (status != InputStatus::kShortRead) __builtin_trap();
    return;
  }
  if (status != InputStatus::kOk || adata.size() != want) __builtin_trap();
  if (want > 0 && std::memcmp(adata.data(), bytes, want) != 0) __builtin_trap();
  const size_t keep = (count - want) / 2;
  FILE* scratch = nullptr;
  uint64_t size = 0;
  if (aescli::SetAside(&in, keep, &scratch, &size) != InputStatus::kOk) __builtin_trap();
  if (size != count - want) __builtin_trap();
  std::vector<uint8_t> rest(count + 1);
  const size_t got = std::fread(rest.data(), 1, rest.size(), scratch);
  std::fclose(scratch);
  if (got != keep || (keep > 0 && std::memcmp(rest.data(), bytes + want, keep) != 0)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t form = data[0];
  const uint8_t* rest = data + 1;
  const size_t rest_size = size - 1;
  const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(rest, 0, rest_size));
  const size_t arg_size = nul != nullptr ? static_cast<size_t>(nul - rest) : rest_size;
  const std::string arg(reinterpret_cast<const char*>(rest), arg_size);
  const uint8_t* body = nul != nullptr ? nul + 1 : rest + rest_size;
  const size_t body_size = static_cast<size_t>(rest + rest_size - body);

  const size_t fixed = (form & 1) != 0 ? 12 : 16;  // the nonce, or a key, IV or counter
  CheckFixedHex(arg, fixed);
  CheckTagHex(arg);
  CheckStdin(arg, body, body_size);
  if ((form & 2) != 0) CheckFiles(body, body_size, fixed);
  return 0;
}
