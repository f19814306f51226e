#include "zyr_devices.h"

#include <cstring>
#include <string>

#include "support/format_text.h"

namespace loader {

int ZyrKindFromName(const char* name) {
  if (std::strcmp(name, "ZYREMU") == 0) return kZyrKindEmulator;
  if (std::strcmp(name, "ZYRDEB") == 0) return kZyrKindDebugger;
  return 0;
}

void DecodeZyrDevice(ZyrDeviceId id, ZyrDevice* device) {
  device->id = id;
  device->serial = static_cast<int32_t>(id.serial);
  if (id.kind_code == kZyrEmulatorCode) {
    device->kind = kZyrKindEmulator;
  } else if (id.kind_code == kZyrDebuggerCode) {
    device->kind = kZyrKindDebugger;
  } else {
    device->kind = kZyrKindUnknown;
    device->serial = 0;
  }
}

ZyrSelection SelectZyrDevice(const ZyrDeviceTable& table, int kind_filter, const SerialWanted& serial,
                             int* index) {
  *index = -1;
  if (kind_filter == 0 && serial.number == kSerialNotGiven) {
    *index = 0;
    return ZyrSelection::kFound;
  }
  int candidates = 0;
  int candidate = -1;
  for (int i = 0; i < table.count; ++i) {
    const ZyrDevice& entry = table.entries[i];
    if (kind_filter != 0 && entry.kind != kind_filter) continue;
    if (serial.number == kSerialNotGiven || entry.serial == serial.number) {
      *index = i;
      return ZyrSelection::kFound;
    }
    const std::string digits = std::to_string(entry.serial);
    if (digits.size() > serial.text.size() &&
        digits.compare(digits.size() - serial.text.size(), serial.text.size(), serial.text) == 0) {
      ++candidates;
      if (candidate < 0) candidate = i;
    }
  }
  if (candidates > 1) return ZyrSelection::kSeveralMatch;
  if (candidates == 0) return ZyrSelection::kNoMatch;
  *index = candidate;
  return ZyrSelection::kFound;
}

std::string ZyrDeviceListing(const ZyrDeviceTable& table) {
  const auto line = [](int i, const ZyrDevice& d) {
    // Both known kinds are shown under the debugger's name.
    if (d.kind == kZyrKindEmulator || d.kind == kZyrKindDebugger) {
      return support::FormatText("%3d: [IS-ZYR-DEBUGGER] serial:%8d\n", i, d.serial);
    }
    if (d.kind == kZyrKindUnknown) return support::FormatText("%3d: unknown device %x:%x\n", i, d.id.kind_code, d.id.serial);
    return std::string("Illegal device\n");
  };
  return DeviceLines<ZyrDevice>(table, line) +
         support::FormatText("Found %d device%s.\n", table.count, table.count > 1 ? "s" : "");
}

}  // namespace loader
