#include "dravo_binding.h"

namespace loader {

std::vector<FunctionSlot> DravoApi::Slots() {
  return {
      Slot("DRAVOToolAPIFindOpen", &find_open),
      Slot("DRAVOToolAPIFindNext", &find_next),
      Slot("DRAVOToolAPIDeviceOpen", &device_open),
      Slot("DRAVOToolAPIReset", &reset),
      Slot("DRAVOToolAPIWriteROM", &write_rom),
      Slot("DRAVOToolAPICartridgeSlotPower", &cartridge_slot_power),
      Slot("DRAVOToolAPICardSlotPower", &card_slot_power),
      Slot("DRAVOToolAPIGetDebugPrint", &get_debug_print),
      Slot("DRAVOToolAPIDeviceClose", &device_close),
      // Never called: a library without them still serves bootcast.
      LookedUp("DRAVOToolAPIFindClose"),
      LookedUp("DRAVOToolAPISelector"),
      LookedUp("DRAVOToolAPICheckConnect"),
      LookedUp("DRAVOToolAPIReadROM"),
      LookedUp("DRAVOToolAPISyncWriteROM"),
      LookedUp("DRAVOToolAPISyncReadROM"),
      LookedUp("DRAVOToolAPIStreamWrite"),
      LookedUp("DRAVOToolAPIStreamGetWritableLength"),
      LookedUp("DRAVOToolAPISetReceiveStreamCallBackFunction"),
      LookedUp("DRAVOToolAPICheckStreamReceive"),
      LookedUp("DRAVOToolAPISetSyncTimeout"),
      LookedUp("DRAVOToolAPIGetROMSize"),
      LookedUp("DRAVOToolAPIGetPowerStatus"),
      LookedUp("DRAVOToolAPIGetLastError"),
      LookedUp("DRAVOToolAPIGetErrorMessage"),
  };
}

}  // namespace loader
