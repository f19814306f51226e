#include "dravo_devices.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using loader::DravoDeviceTable;

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
  const int count = loader::FillDravoDeviceTable(
      [&asked](uint32_t* id) {
        if (asked >= 300) return false;
        *id = 0x20000000u + static_cast<uint32_t>(asked++);
        return true;
      },
      &table);
  EXPECT_EQ(count, 256);
  EXPECT_EQ(asked, 257);
  EXPECT_EQ(table.entries[255].serial, 255);
}

TEST(DravoDevices, SelectsByKindAndSerial) {
  static DravoDeviceTable table;
  std::vector<uint32_t> ids = {0x00001234u, 0x200004D2u, 0x300004D2u, 0x200004D2u};
  size_t next = 0;
  loader::FillDravoDeviceTable(
      [&](uint32_t* id) {
        if (next == ids.size()) return false;
        *id = ids[next++];
        return true;
      },
      &table);
  EXPECT_EQ(loader::SelectDravoDevice(table, 0, loader::kSerialNotGiven), 0);
  EXPECT_EQ(loader::SelectDravoDevice(table, loader::kKindDravoUsb, 1234), 1);
  EXPECT_EQ(loader::SelectDravoDevice(table, loader::kKindDravoUic, loader::kSerialNotGiven), 2);
  EXPECT_EQ(loader::SelectDravoDevice(table, 0, 1234), 1);
  EXPECT_EQ(loader::SelectDravoDevice(table, 0, 0x1234), 0);
  EXPECT_EQ(loader::SelectDravoDevice(table, loader::kKindDravoUsb, 99), -1);
  EXPECT_EQ(loader::SelectDravoDevice(table, loader::kKindVktScsi, loader::kSerialNotGiven), -1);
}

}  // namespace
