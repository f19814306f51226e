#include "kelvane_convert_args.h"

#include <cctype>
#include <cstring>

#include "support/text_parse.h"

namespace kelvane_example {

using Kelvane::CDefaultColorProcessor;
using Kelvane::CTexture;

bool ParseTypeName(const char* name, CTexture::tType* type) {
  static const struct {
    const char* name;
    CTexture::tType type;
  } kTypes[] = {{"palette4", CTexture::TYPE_PALETTE4},     {"a5i3", CTexture::TYPE_A5I3},
                {"palette16", CTexture::TYPE_PALETTE16},   {"a3i5", CTexture::TYPE_A3I5},
                {"palette256", CTexture::TYPE_PALETTE256}, {"tex4x4", CTexture::TYPE_TEX4X4},
                {"direct", CTexture::TYPE_DIRECT}};
  for (const auto& t : kTypes) {
    if (std::strcmp(name, t.name) == 0) {
      *type = t.type;
      return true;
    }
  }
  return false;
}

bool ParseAlgorithmName(const char* name, CDefaultColorProcessor::tAlgorithm* algorithm) {
  static const struct {
    const char* name;
    CDefaultColorProcessor::tAlgorithm algorithm;
  } kAlgorithms[] = {{"hilow", CDefaultColorProcessor::ALGORITHM_HILOW},
                     {"hilow-linear", CDefaultColorProcessor::ALGORITHM_HILOW_LINEAR},
                     {"roundrobin", CDefaultColorProcessor::ALGORITHM_ROUNDROBIN},
                     {"roundrobin-linear", CDefaultColorProcessor::ALGORITHM_ROUNDROBIN_LINEAR}};
  for (const auto& a : kAlgorithms) {
    if (std::strcmp(name, a.name) == 0) {
      *algorithm = a.algorithm;
      return true;
    }
  }
  return false;
}

bool ParseRgbTriple(const char* text, unsigned char out[3]) {
  const std::string s = text;
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t comma = i < 2 ? s.find(',', start) : s.size();
    if (comma == std::string::npos) return false;
    long long value = 0;
    if (!support::ParseDecimalStrict(s.substr(start, comma - start).c_str(), 0, 255, &value)) return false;
    out[i] = static_cast<unsigned char>(value);
    start = comma + 1;
  }
  return true;
}

bool NamesPng(const std::string& path) {
  if (path.size() < 4) return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".png";
}

}  // namespace kelvane_example
