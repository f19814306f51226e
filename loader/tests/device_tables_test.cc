// The device tables of both generations: decoding, filling and choosing.
#include <gtest/gtest.h>

#include <vector>

#include "dravo_devices.h"
#include "zyr_devices.h"

namespace {

using loader::DravoDeviceTable;

// A table filled from `ids` as a search would return them.
template <typename Id, typename Entry>
const loader::DeviceTable<Entry>& Table(const std::vector<Id>& ids, void (*decode)(Id, Entry*)) {
  static loader::DeviceTable<Entry> table;
  size_t next = 0;
  loader::FillDeviceTable(
      [&](Id* id) {
        if (next == ids.size()) return false;
        *id = ids[next++];
        return true;
      },
      decode, &table);
  return table;
}

TEST(DravoDevices, DecodesEveryKind) {
  loader::DravoDevice d;
  loader::DecodeDravoDevice(0x0000002Au, &d);
  EXPECT_EQ(d.kind, loader::kKindVktUsb);
  EXPECT_EQ(d.serial, 42);
  loader::DecodeDravoDevice(0x100000A3u, &d);
  EXPECT_EQ(d.kind, loader::kKindVktScsi);
  EXPECT_EQ(d.host_id, 0xA);
  EXPECT_EQ(d.serial, 0xA3);
  loader::DecodeDravoDevice(0x2FFFFFFFu, &d);
  EXPECT_EQ(d.kind, loader::kKindDravoUsb);
  EXPECT_EQ(d.serial, 0x0FFFFFFF);
  loader::DecodeDravoDevice(0x30000007u, &d);
  EXPECT_EQ(d.kind, loader::kKindDravoUic);
  loader::DecodeDravoDevice(0x40000007u, &d);
  EXPECT_EQ(d.kind, loader::kKindUnknown);
  EXPECT_EQ(d.serial, 0);
  EXPECT_EQ(d.id, 0x40000007u);
}

TEST(DravoDevices, KindNamesAreExact) {
  EXPECT_EQ(loader::DravoKindFromName("VKTUSB"), 1);
  EXPECT_EQ(loader::DravoKindFromName("DRAVOUIC"), 4);
  EXPECT_EQ(loader::DravoKindFromName("dravousb"), 0);
  EXPECT_EQ(loader::DravoKindFromName(""), 0);
}

TEST(DravoDevices, TableTakes256AndFetchesOneMore) {
  static DravoDeviceTable table;
  int asked = 0;
  const int count = loader::FillDeviceTable(
      [&asked](uint32_t* id) {
        if (asked >= 300) return false;
        *id = 0x20000000u + static_cast<uint32_t>(asked++);
        return true;
      },
      loader::DecodeDravoDevice, &table);
  EXPECT_EQ(count, 256);
  EXPECT_EQ(asked, 257);
  EXPECT_EQ(table.entries[255].serial, 255);
}

TEST(DravoDevices, SelectsByKindAndSerial) {
  const DravoDeviceTable& table =
      Table<uint32_t>({0x00001234u, 0x200004D2u, 0x300004D2u, 0x200004D2u}, loader::DecodeDravoDevice);
  EXPECT_EQ(loader::SelectDravoDevice(table, 0, loader::kSerialNotGiven), 0);
  EXPECT_EQ(loader::SelectDravoDevice(table, loader::kKindDravoUsb, 1234), 1);
  EXPECT_EQ(loader::SelectDravoDevice(table, loader::kKindDravoUic, loader::kSerialNotGiven), 2);
  EXPECT_EQ(loader::SelectDravoDevice(table, 0, 1234), 1);
  EXPECT_EQ(loader::SelectDravoDevice(table, 0, 0x1234), 0);
  EXPECT_EQ(loader::SelectDravoDevice(table, loader::kKindDravoUsb, 99), -1);
  EXPECT_EQ(loader::SelectDravoDevice(table, loader::kKindVktScsi, loader::kSerialNotGiven), -1);
}

const loader::ZyrDeviceTable& ZyrTable(const std::vector<ZyrDeviceId>& ids) {
  return Table(ids, loader::DecodeZyrDevice);
}

TEST(ZyrDevices, DecodesKindCodesAndTakes256) {
  const loader::ZyrDeviceTable& t =
      ZyrTable({{loader::kZyrEmulatorCode, 7}, {loader::kZyrDebuggerCode, 8}, {0x5A595245u, 9}});
  EXPECT_EQ(t.count, 3);
  EXPECT_EQ(t.entries[0].kind, loader::kZyrKindEmulator);
  EXPECT_EQ(t.entries[1].kind, loader::kZyrKindDebugger);
  EXPECT_EQ(t.entries[1].serial, 8);
  EXPECT_EQ(t.entries[2].kind, loader::kZyrKindUnknown);
  EXPECT_EQ(t.entries[2].serial, 0);
  EXPECT_EQ(t.entries[2].id.serial, 9u);

  std::vector<ZyrDeviceId> many(300, {loader::kZyrEmulatorCode, 1});
  EXPECT_EQ(ZyrTable(many).count, 256);
}

TEST(ZyrDevices, SerialSuffixNeedsALongerNumber) {
  const loader::ZyrDeviceTable& t = ZyrTable({{loader::kZyrEmulatorCode, 34}, {loader::kZyrDebuggerCode, 1234}});
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
