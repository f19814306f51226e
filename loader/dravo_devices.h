// The table of first-generation debugger devices: decoding the identifiers
// that a device search returns, and choosing the device to run on.
#pragma once

#include <cstdint>
#include <string>

#include "device_table.h"
#include "loader_options.h"

namespace loader {

/// Device kinds, numbered 0 to 5 in this order (0: an empty entry).
enum DravoKind : int { kKindEmpty, kKindVktUsb, kKindVktScsi, kKindDravoUsb, kKindDravoUic, kKindUnknown };

struct DravoDevice {
  uint32_t id = 0;
  int kind = kKindEmpty;
  int host_id = 0;  // VKTSCSI only
  int32_t serial = 0;
};

using DravoDeviceTable = DeviceTable<DravoDevice>;

/// Fills `device` from an identifier: bits 28 to 31 give the kind, bits 0 to
/// 27 the serial number (bits 4 to 7 also the host id of a VKTSCSI device).
void DecodeDravoDevice(uint32_t id, DravoDevice* device);

/// Kind number for a kind name ("VKTUSB" ... "DRAVOUIC", exact case); 0 when
/// the name is not a kind.
int DravoKindFromName(const char* name);

/// Index of the device to use: entry 0 when neither filter is given, else the
/// first entry matching the kind filter (0 = any) and the serial number
/// (kSerialNotGiven = any); -1 when none matches. The caller checks the
/// entry's kind.
int SelectDravoDevice(const DravoDeviceTable& table, int kind_filter, int32_t serial);

/// The device listing of `-L`: a line per entry, then the count.
std::string DravoDeviceListing(const DravoDeviceTable& table);

}  // namespace loader
