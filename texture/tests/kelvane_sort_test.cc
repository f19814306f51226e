// The fast byte sort against the literal selection sort.
#include "kelvane_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_reference.h"

namespace {

using Kelvane::internal::FastSelectionSortBytes;

struct Case {
  std::vector<unsigned char> bytes;
  unsigned int first;
  unsigned int last;
};

// Runs the reference, the library's sort function and CData::QuickSortTopDown
// (with and without an index array) on the same input and compares them all.
void ExpectSameOrder(const Case& c, bool descending) {
  std::vector<unsigned int> start_index(c.bytes.size());
  for (unsigned int i = 0; i < start_index.size(); ++i) start_index[i] = 1000 + i;

  std::vector<unsigned char> want = c.bytes;
  std::vector<unsigned int> want_index = start_index;
  reference::SelectionSort(want, &want_index, c.first, c.last, descending);

  std::vector<unsigned char> fast = c.bytes;
  std::vector<unsigned int> fast_index = start_index;
  FastSelectionSortBytes(fast.data(), fast_index.data(), c.first, c.last, descending);
  ASSERT_EQ(fast, want);
  ASSERT_EQ(fast_index, want_index);

  std::vector<unsigned char> bytes_only = c.bytes;
  FastSelectionSortBytes(bytes_only.data(), nullptr, c.first, c.last, descending);
  ASSERT_EQ(bytes_only, want);

  Kelvane::CData data;
  data.Create(static_cast<unsigned int>(c.bytes.size()), 0);
  std::copy(c.bytes.begin(), c.bytes.end(), data.GetpData());
  std::vector<unsigned int> data_index = start_index;
  data.QuickSortTopDown(data_index.data(), c.first, c.last, descending);
  ASSERT_TRUE(std::equal(want.begin(), want.end(), data.GetpData()));
  ASSERT_EQ(data_index, want_index);

  std::copy(c.bytes.begin(), c.bytes.end(), data.GetpData());
  data.QuickSortTopDown(nullptr, c.first, c.last, descending);
  ASSERT_TRUE(std::equal(want.begin(), want.end(), data.GetpData()));
}

void ExpectSameOrderBothWays(const Case& c) {
  ExpectSameOrder(c, true);
  ExpectSameOrder(c, false);
}

Case Whole(std::vector<unsigned char> bytes) {
  const auto last = static_cast<unsigned int>(bytes.size() - 1);
  return Case{std::move(bytes), 0, last};
}

TEST(KelvaneSort, ExampleOfEqualKeys) {
  Kelvane::CData data;
  data.Create(4, 0);
  const unsigned char bytes[] = {5, 9, 9, 1};
  std::copy(bytes, bytes + 4, data.GetpData());
  unsigned int index[] = {0, 1, 2, 3};
  data.QuickSortTopDown(index, 0, 3, true);
  EXPECT_EQ(std::vector<unsigned char>(data.GetpData(), data.GetpData() + 4),
            (std::vector<unsigned char>{9, 9, 5, 1}));
  EXPECT_EQ(std::vector<unsigned int>(index, index + 4), (std::vector<unsigned int>{1, 2, 0, 3}));
  ExpectSameOrderBothWays(Whole({5, 9, 9, 1}));
}

TEST(KelvaneSort, EqualOrReversedBoundsChangeNothing) {
  for (bool descending : {true, false}) {
    Kelvane::CData data;
    data.Create(3, 7);
    data[1] = 1;
    unsigned int index[] = {4, 5, 6};
    data.QuickSortTopDown(index, 1, 1, descending);
    data.QuickSortTopDown(index, 2, 0, descending);
    EXPECT_EQ(data[0], 7);
    EXPECT_EQ(data[1], 1);
    EXPECT_EQ(index[0], 4u);
    EXPECT_EQ(index[2], 6u);
  }
}

TEST(KelvaneSort, MatchesLiteralOnShapedData) {
  for (unsigned int n : {2u, 3u, 17u, 47u, 48u, 49u, 200u, 1000u}) {
    std::vector<unsigned char> equal(n, 42), sorted(n), reversed(n), sawtooth(n), two(n);
    for (unsigned int i = 0; i < n; ++i) {
      sorted[i] = static_cast<unsigned char>(i * 256 / n);
      reversed[i] = static_cast<unsigned char>(255 - sorted[i]);
      sawtooth[i] = static_cast<unsigned char>(i % 7);
      two[i] = (i * 7919) % 3 == 0 ? 255 : 0;
    }
    for (const auto& bytes : {equal, sorted, reversed, sawtooth, two}) {
      SCOPED_TRACE(n);
      ExpectSameOrderBothWays(Whole(bytes));
    }
  }
}

TEST(KelvaneSort, MatchesLiteralOnRandomData) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    const unsigned int n = 1 + random() % (round < 200 ? 120 : 1000);
    // Few distinct keys make many equal keys; 256 makes a plain random mix.
    const unsigned int keys = std::vector<unsigned int>{1, 2, 3, 5, 16, 256}[random() % 6];
    std::vector<unsigned char> bytes(n);
    for (auto& b : bytes) b = static_cast<unsigned char>(random() % keys * (256 / keys));
    unsigned int first = random() % n;
    unsigned int last = random() % n;
    if (round % 3 == 0) {
      first = 0;
      last = n - 1;
    }
    SCOPED_TRACE(round);
    ExpectSameOrderBothWays(Case{bytes, first, last});
  }
}

TEST(KelvaneSort, MatchesLiteralOnLongRunOfFewKeys) {
  std::mt19937 random(7);
  std::vector<unsigned char> bytes(6000);
  for (auto& b : bytes) b = static_cast<unsigned char>(random() % 4);
  ExpectSameOrderBothWays(Case{bytes, 13, 5990});
}

}  // namespace
