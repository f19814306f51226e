#include "zyr_binding.h"

namespace loader {

std::vector<FunctionSlot> ZyrApi::Slots() {
  return {
      Slot("ISDGetVersion", &get_version),
      Slot("ISDFindOpen", &find_open),
      Slot("ISDFindNext", &find_next),
      Slot("ISDDeviceOpenEx", &device_open_ex),
      Slot("ISDReset", &reset),
      Slot("ISDSetCallbackPrintf", &set_callback_printf),
      Slot("ISDDownloadGo2", &download_go2),
      Slot("ISDGetLastError", &get_last_error),
      // The one function whose absence is tested: first-generation mode needs it.
      Slot("ISDSetHybridMode", &set_hybrid_mode, FunctionSlot::kOptional),
      // Never called: a library without them still serves bootcast.ZYR.
      LookedUp("ISDFindClose"),
      LookedUp("ISDDeviceOpen"),
      LookedUp("ISDDeviceClose"),
      LookedUp("ISDGetDeviceID"),
      LookedUp("ISDCheckConnect"),
      LookedUp("ISDWriteEMUROM2"),
      LookedUp("ISDReadEMUROM2"),
      LookedUp("ISDGetEMUROMSize2"),
      LookedUp("ISDGetErrorMessage"),
  };
}

}  // namespace loader
