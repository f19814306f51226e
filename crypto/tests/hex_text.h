// Hexadecimal text for the crypto tests' vectors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/text_parse.h"

namespace crypto_test {

/// The bytes that `hex` stands for; blanks between the digits are skipped.
inline std::string HexToBytes(std::string_view hex) {
  std::string digits;
  for (char c : hex) {
    if (c != ' ') digits.push_back(c);
  }
  std::string out(digits.size() / 2, '\0');
  support::DecodeHexStrict(digits.c_str(), out.size(), reinterpret_cast<uint8_t*>(out.data()));
  return out;
}

/// Lower-case hexadecimal digits of `bytes`.
inline std::string BytesToHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

}  // namespace crypto_test
