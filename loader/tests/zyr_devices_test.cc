#include "zyr_devices.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

loader::ZyrDeviceTable& Table(const std::vector<ZyrDeviceId>& ids) {
  static loader::ZyrDeviceTable table;
  size_t next = 0;
  loader::FillZyrDeviceTable(
      [&](ZyrDeviceId* id) {
        if (next == ids.size()) return false;
        *id = ids[next++];
        return true;
      },
      &table);
  return table;
}

TEST(ZyrDevices, DecodesKindCodesAndTakes256) {
  const loader::ZyrDeviceTable& t =
      Table({{loader::kZyrEmulatorCode, 7}, {loader::kZyrDebuggerCode, 8}, {0x5A595245u, 9}});
  EXPECT_EQ(t.count, 3);
  EXPECT_EQ(t.entries[0].kind, loader::kZyrKindEmulator);
  EXPECT_EQ(t.entries[1].kind, loader::kZyrKindDebugger);
  EXPECT_EQ(t.entries[1].serial, 8);
  EXPECT_EQ(t.entries[2].kind, loader::kZyrKindUnknown);
  EXPECT_EQ(t.entries[2].serial, 0);
  EXPECT_EQ(t.entries[2].id.serial, 9u);

  std::vector<ZyrDeviceId> many(300, {loader::kZyrEmulatorCode, 1});
  EXPECT_EQ(Table(many).count, 256);
}

TEST(ZyrDevices, SerialSuffixNeedsALongerNumber) {
  const loader::ZyrDeviceTable& t = Table({{loader::kZyrEmulatorCode, 34}, {loader::kZyrDebuggerCode, 1234}});
  int index = -2;
  // "34" is the whole of the first number: a match by number, not by its end.
  EXPECT_EQ(loader::SelectZyrDevice(t, 0, {34, "34"}, &index), loader::ZyrSelection::kFound);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(loader::SelectZyrDevice(t, 0, {4, "4"}, &index), loader::ZyrSelection::kSeveralMatch);
  EXPECT_EQ(loader::SelectZyrDevice(t, loader::kZyrKindDebugger, {4, "4"}, &index),
            loader::ZyrSelection::kFound);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(loader::SelectZyrDevice(t, 0, {1234, "01234"}, &index), loader::ZyrSelection::kFound);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(loader::SelectZyrDevice(t, 0, {234, "0234"}, &index), loader::ZyrSelection::kNoMatch);
  EXPECT_EQ(index, -1);
}

}  // namespace
