// The block-wise marker search against a literal byte-by-byte reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "marker_reference.h"
#include "marker_scan.h"

namespace {

long long LiteralFind(const std::string& data) {
  return argbury_reference::LiteralFindMarker(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

// Feeds `data` in pieces of the given sizes (the last one repeated).
long long ScannerFind(const std::string& data, const std::vector<size_t>& pieces) {
  argbury::MarkerScanner scanner;
  size_t at = 0;
  for (size_t k = 0; at < data.size(); ++k) {
    const size_t n = std::min(pieces[std::min(k, pieces.size() - 1)], data.size() - at);
    if (scanner.Feed(reinterpret_cast<const uint8_t*>(data.data() + at), n)) break;
    at += n;
  }
  return scanner.found() ? static_cast<long long>(scanner.offset()) : -1;
}

TEST(MarkerScan, FindsTheFirstMarkerAfterColonsAndPartialMarkers) {
  const std::string m = argbury::kArgumentMarker;
  const std::vector<std::pair<std::string, long long>> cases = {
      {"", -1},
      {m, 0},
      {":" + m, 1},
      {":$@$Arg" + m + m, 7},
      {m.substr(0, 15) + m, 0},  // its last ':' begins the second
      {m.substr(0, 15), -1},
      {"x" + m.substr(0, 15) + "$" + m.substr(1), -1},
      {":$@$Argument$@" + m, 14},
  };
  for (const auto& [data, expected] : cases) {
    EXPECT_EQ(LiteralFind(data), expected) << data;
    for (size_t piece : {1, 2, 7, 15, 16, 17, 1000}) EXPECT_EQ(ScannerFind(data, {piece}), expected) << data;
  }
}

TEST(MarkerScan, MatchesTheLiteralSearchOnRandomData) {
  std::mt19937 rng(20081);
  const std::string m = argbury::kArgumentMarker;
  const std::string alphabet = ":$@Argument";
  for (int round = 0; round < 4000; ++round) {
    std::string data;
    const size_t size = rng() % 400;
    while (data.size() < size) {
      switch (rng() % 5) {
        case 0:  // a partial marker, sometimes a whole one
          data += m.substr(0, 1 + rng() % (rng() % 20 == 0 ? 16 : 15));
          break;
        case 1:
          data += alphabet[rng() % alphabet.size()];
          break;
        case 2:  // a marker with one byte changed
          data += m;
          data[data.size() - 1 - rng() % 16] ^= static_cast<char>(1 + rng() % 255);
          break;
        default:
          data += static_cast<char>(rng());
      }
    }
    std::vector<size_t> pieces;
    for (int k = 0; k < 8; ++k) pieces.push_back(1 + rng() % (rng() % 2 ? 20 : 300));
    ASSERT_EQ(ScannerFind(data, pieces), LiteralFind(data)) << "round " << round;
  }
}

}  // namespace
