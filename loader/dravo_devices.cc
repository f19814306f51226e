#include "dravo_devices.h"

#include <cstring>

#include "support/format_text.h"

namespace loader {

void DecodeDravoDevice(uint32_t id, DravoDevice* device) {
  *device = DravoDevice{};
  device->id = id;
  const uint32_t kind_bits = id >> 28;
  const int32_t serial = static_cast<int32_t>(id & 0x0FFFFFFFu);
  switch (kind_bits) {
    case 0:
      device->kind = kKindVktUsb;
      break;
    case 1:
      device->kind = kKindVktScsi;
      device->host_id = static_cast<int>((id >> 4) & 0xFu);
      break;
    case 2:
      device->kind = kKindDravoUsb;
      break;
    case 3:
      device->kind = kKindDravoUic;
      break;
    default:
      device->kind = kKindUnknown;
      return;
  }
  device->serial = serial;
}

int DravoKindFromName(const char* name) {
  static constexpr const char* kNames[] = {"VKTUSB", "VKTSCSI", "DRAVOUSB", "DRAVOUIC"};
  for (int i = 0; i < 4; ++i) {
    if (std::strcmp(name, kNames[i]) == 0) return i + 1;
  }
  return 0;
}

int SelectDravoDevice(const DravoDeviceTable& table, int kind_filter, int32_t serial) {
  if (kind_filter == 0 && serial == kSerialNotGiven) return 0;
  for (int i = 0; i < table.count; ++i) {
    const DravoDevice& entry = table.entries[i];
    if (kind_filter != 0 && entry.kind != kind_filter) continue;
    if (serial != kSerialNotGiven && entry.serial != serial) continue;
    return i;
  }
  return -1;
}

std::string DravoDeviceListing(const DravoDeviceTable& table) {
  const auto line = [](int i, const DravoDevice& d) {
    switch (d.kind) {
      case kKindVktUsb: return support::FormatText("%3d: [VKTUSB]  IS-VKT-EMU(USB) serial:%8d\n", i, d.serial);
      case kKindVktScsi:
        return support::FormatText("%3d: [VKTSCSI]  IS-VKT-EMULATOR serial(host-id):%02d%02d\n", i, d.host_id, d.serial);
      case kKindDravoUsb: return support::FormatText("%3d: [DRAVOUSB]  IS-DRAVO-EMULATOR serial:%08d\n", i, d.serial);
      case kKindDravoUic: return support::FormatText("%3d: [DRAVOUIC]  IS-DRAVO-UIC serial: %08d\n", i, d.serial);
      case kKindUnknown: return support::FormatText("%3d: unknown device %x\n", i, d.id);
    }
    return std::string("Illegal device\n");
  };
  return DeviceLines<DravoDevice>(table, line) + support::FormatText("%d device(s) found.\n", table.count);
}

}  // namespace loader
