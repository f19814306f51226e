// Calling conventions of the first-generation device library ISDRAVO.DLL, as
// bootcast calls it. The simulated library in sim/ implements the same
// signatures, so a change here is a change to both.
#pragma once

#include <cstdint>

extern "C" {

/// Opens a device search; 0 means the devices cannot be accessed.
using DravoFindOpenFn = void* (*)();
/// Stores the next device identifier; non-zero while a device was returned.
using DravoFindNextFn = int (*)(void* search, uint32_t* device_id);
/// Connects a device; 0 means it cannot be connected.
using DravoDeviceOpenFn = void* (*)(uint32_t device_id);
/// 1 holds the target in reset, 0 releases it and starts the program.
using DravoResetFn = int (*)(void* device, int hold);
/// Writes `length` bytes at ROM offset `offset`; non-zero on success.
using DravoWriteRomFn = int (*)(void* device, const void* data, uint32_t offset, uint32_t length);
/// Switches a slot on (1) or off (0); non-zero on success.
using DravoSlotPowerFn = int (*)(void* device, int on);
/// Fetches pending console text of `channel` (0 or 1) into `buffer`; stores
/// the byte count (0 when nothing is pending, never above `capacity`) in
/// `length`. Non-zero on success.
using DravoGetDebugPrintFn = int (*)(void* device, int channel, char* buffer, uint32_t* length,
                                     uint32_t capacity);
using DravoDeviceCloseFn = int (*)(void* device);

}  // extern "C"
