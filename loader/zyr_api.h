// The functions of the second-generation device library ISZYR.DLL that
// bootcast.ZYR calls, as it calls them. The simulated library in sim/ defines
// them against these declarations, so a change here is a change to both;
// bootcast.ZYR itself never links them, it looks them up by name.
#pragma once

#include <cstdint>

extern "C" {

/// A device as a search returns it: the kind code ("ZYRE" or "ZYRD" in
/// memory order, first character in the lowest byte) and the serial number.
struct ZyrDeviceId {
  uint32_t kind_code;
  uint32_t serial;
};
static_assert(sizeof(ZyrDeviceId) == 8);

/// Console output of the running program: processor (0 ARM9, 1 ARM7),
/// console 0 to 3, and `length` bytes of text followed by a NUL. May be
/// called on a thread of the library.
using ZyrPrintCallback = void (*)(uintptr_t user_value, int processor, int console, const char* text,
                                  uint32_t length);

/// The debugger's version in four parts; non-zero on success.
int ISDGetVersion(int32_t* major, int32_t* minor, int32_t* part3, int32_t* part4);
/// Opens a device search; 0 means the devices cannot be accessed.
void* ISDFindOpen();
/// Stores the next device; non-zero while a device was returned.
int ISDFindNext(void* search, ZyrDeviceId* device_id);
/// Connects a device; 0 means it cannot be connected.
void* ISDDeviceOpenEx(ZyrDeviceId device_id);
/// 1 holds the target in reset.
int ISDReset(void* device, int hold);
int ISDSetCallbackPrintf(void* device, ZyrPrintCallback callback, uintptr_t user_value);
/// 1 runs a hybrid image in first-generation mode, 0 in its own. Absent from
/// libraries older than that mode.
int ISDSetHybridMode(void* device, int dravo_mode);
/// Downloads and starts the image at `path`; non-zero once it runs.
int ISDDownloadGo2(void* device, const char* path);
uint32_t ISDGetLastError();

}  // extern "C"
