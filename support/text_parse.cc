#include "support/text_parse.h"

#include <climits>

namespace support {

long long ParseDecimalPrefix(const char* text, bool* out_of_range) {
  if (out_of_range != nullptr) *out_of_range = false;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  // Accumulate as a negative number so that LLONG_MIN is representable.
  long long value = 0;
  bool clamped = false;
  for (; *text >= '0' && *text <= '9'; ++text) {
    const int digit = *text - '0';
    if (clamped) continue;
    if (value < (LLONG_MIN + digit) / 10) {
      clamped = true;
      value = LLONG_MIN;
      continue;
    }
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == LLONG_MIN) {
      clamped = true;
      value = LLONG_MAX;
    } else {
      value = -value;
    }
  }
  if (clamped && out_of_range != nullptr) *out_of_range = true;
  return value;
}

int ParseIntPrefix(const char* text, bool* out_of_range) {
  bool wide_out = false;
  const long long value = ParseDecimalPrefix(text, &wide_out);
  bool clamped = wide_out;
  int result;
  if (value > INT_MAX) {
    result = INT_MAX;
    clamped = true;
  } else if (value < INT_MIN) {
    result = INT_MIN;
    clamped = true;
  } else {
    result = static_cast<int>(value);
  }
  if (out_of_range != nullptr) *out_of_range = clamped;
  return result;
}

bool ParseDecimalStrict(const char* text, long long low, long long high, long long* value) {
  if (text == nullptr) return false;
  const char* p = text;
  if (*p == '+' || *p == '-') ++p;
  if (*p < '0' || *p > '9') return false;
  for (const char* q = p; *q != '\0'; ++q) {
    if (*q < '0' || *q > '9') return false;
  }
  bool out = false;
  const long long parsed = ParseDecimalPrefix(text, &out);
  if (out || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool DecodeHexStrict(const char* digits, size_t byte_count, uint8_t* out) {
  for (size_t i = 0; i < byte_count; ++i) {
    const int high = HexDigitValue(digits[2 * i]);
    if (high < 0) return false;
    const int low = HexDigitValue(digits[2 * i + 1]);
    if (low < 0) return false;
    out[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return true;
}

void PathStemRange(const std::string& path, size_t* begin, size_t* length) {
  const size_t sep = path.find_last_of("/\\");
  *begin = sep == std::string::npos ? 0 : sep + 1;
  const size_t dot = path.rfind('.');
  *length = (dot == std::string::npos || dot < *begin ? path.size() : dot) - *begin;
}

std::string PathStem(const std::string& path) {
  size_t begin = 0;
  size_t length = 0;
  PathStemRange(path, &begin, &length);
  return path.substr(begin, length);
}

std::string StripExtension(const std::string& path) {
  const size_t sep = path.find_last_of("/\\");
  const size_t name_start = sep == std::string::npos ? 0 : sep + 1;
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < name_start) return path;
  return path.substr(0, dot);
}

}  // namespace support
