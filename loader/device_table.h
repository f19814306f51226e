// What the device tables of both generations share: up to 256 devices as the
// library's search returns them, each decoded into the generation's entry.
#pragma once

#include <string>

#include "loader_finish.h"

namespace loader {

inline constexpr int kMaxDevices = 256;

/// Devices as a search returned them; an unused entry is a default one
/// (kind 0, empty).
template <typename Entry>
struct DeviceTable {
  Entry entries[kMaxDevices];
  int count = 0;
};

/// Asks `next` for device identifiers until it returns false or the table is
/// full; the request is made before the count is tested, so one device beyond
/// the table is fetched and dropped. `decode` fills each entry. Returns the
/// number of entries filled.
template <typename Id, typename Entry, typename Next>
int FillDeviceTable(const Next& next, void (*decode)(Id, Entry*), DeviceTable<Entry>* table) {
  for (Entry& entry : table->entries) entry = Entry{};
  table->count = 0;
  Id id{};
  while (next(&id)) {
    if (table->count >= kMaxDevices) break;
    decode(id, &table->entries[table->count++]);
  }
  return table->count;
}

/// The listing's heading and a line per entry, each from `entry_line` (the
/// generation adds the count).
template <typename Entry>
std::string DeviceLines(const DeviceTable<Entry>& table, std::string (*entry_line)(int index, const Entry&)) {
  std::string listing = "---- Connected devices:\n";
  for (int i = 0; i < table.count; ++i) listing += entry_line(i, table.entries[i]);
  return listing;
}

/// Searches the devices of `api`'s library into `table`: kGoOn, or the error
/// status after "Cannot access devices.". The search handle is never closed:
/// the library keeps it.
template <typename Api, typename Id, typename Entry>
int SearchDevices(const Api& api, void (*decode)(Id, Entry*), DeviceTable<Entry>* table,
                  const Reporter& reporter) {
  void* search = api.find_open();
  if (search == nullptr) return reporter.Fail("Cannot access devices.", kErrorDevices);
  FillDeviceTable([&](Id* id) { return api.find_next(search, id) != 0; }, decode, table);
  return kGoOn;
}

/// The device listing of `-L`: kStatusList, or the error status.
template <typename Api, typename Id, typename Entry>
int ListDevices(const Api& api, void (*decode)(Id, Entry*), std::string (*listing)(const DeviceTable<Entry>&),
                const Reporter& reporter) {
  DeviceTable<Entry> table;
  const int status = SearchDevices(api, decode, &table, reporter);
  if (status != kGoOn) return status;
  reporter.Write(listing(table));
  return kStatusList;
}

}  // namespace loader
