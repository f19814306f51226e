// The table of second-generation debugger devices: decoding what a device
// search returns, and choosing the device to run on (by kind, and by serial
// number or the end of its decimal text).
#pragma once

#include <cstdint>
#include <string>

#include "device_table.h"
#include "loader_options.h"
#include "zyr_api.h"

namespace loader {

/// Device kinds, numbered 0 to 3 in this order (0: an empty entry).
enum ZyrKind : int { kZyrKindEmpty, kZyrKindEmulator, kZyrKindDebugger, kZyrKindUnknown };

/// Kind codes as they lie in memory: "ZYRE" and "ZYRD", first character lowest.
inline constexpr uint32_t kZyrEmulatorCode = 0x4552595Au;
inline constexpr uint32_t kZyrDebuggerCode = 0x4452595Au;

struct ZyrDevice {
  ZyrDeviceId id{0, 0};
  int kind = kZyrKindEmpty;
  int32_t serial = 0;
};

using ZyrDeviceTable = DeviceTable<ZyrDevice>;

/// Fills `device` from what the search returned: a kind code of "ZYRE" or
/// "ZYRD" with its serial number; any other code is an unknown device, with
/// serial number 0.
void DecodeZyrDevice(ZyrDeviceId id, ZyrDevice* device);

/// Kind number for a kind name ("ZYREMU", "ZYRDEB", exact case); 0 otherwise.
int ZyrKindFromName(const char* name);

enum class ZyrSelection { kFound, kNoMatch, kSeveralMatch };

/// Chooses the device: entry 0 when neither kind nor serial is given; else
/// the first entry of the kind (0 = any) whose serial number is the number
/// given, or the one entry whose serial number's decimal text is longer than
/// the text given and ends with it. `*index` is -1 when nothing matched; the
/// caller checks the entry's kind.
ZyrSelection SelectZyrDevice(const ZyrDeviceTable& table, int kind_filter, const SerialWanted& serial,
                             int* index);

/// The device listing of `-L`: a line per entry, then the count.
std::string ZyrDeviceListing(const ZyrDeviceTable& table);

}  // namespace loader
