// The functions of the first-generation device library ISDRAVO.DLL that
// bootcast calls, as it calls them. The simulated library in sim/ defines
// them against these declarations, so a change here is a change to both;
// bootcast itself never links them, it looks them up by name.
#pragma once

#include <cstdint>

extern "C" {

/// Opens a device search; 0 means the devices cannot be accessed.
void* DRAVOToolAPIFindOpen();
/// Stores the next device identifier; non-zero while a device was returned.
int DRAVOToolAPIFindNext(void* search, uint32_t* device_id);
/// Connects a device; 0 means it cannot be connected.
void* DRAVOToolAPIDeviceOpen(uint32_t device_id);
/// 1 holds the target in reset, 0 releases it and starts the program.
int DRAVOToolAPIReset(void* device, int hold);
/// Writes `length` bytes at ROM offset `offset`; non-zero on success.
int DRAVOToolAPIWriteROM(void* device, const void* data, uint32_t offset, uint32_t length);
/// Switches the cartridge slot on (1) or off (0); non-zero on success.
int DRAVOToolAPICartridgeSlotPower(void* device, int on);
/// Switches the card slot on (1) or off (0); non-zero on success.
int DRAVOToolAPICardSlotPower(void* device, int on);
/// Fetches pending console text of `channel` (0 or 1) into `buffer`; stores
/// the byte count (0 when nothing is pending, never above `capacity`) in
/// `length`. Non-zero on success.
int DRAVOToolAPIGetDebugPrint(void* device, int channel, char* buffer, uint32_t* length, uint32_t capacity);
int DRAVOToolAPIDeviceClose(void* device);

}  // extern "C"
