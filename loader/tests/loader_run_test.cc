// The runs of both generations against fake function tables: what they ask
// of the device library, in which order, and the outcome they end with.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "dravo_run.h"
#include "testing/run_program.h"
#include "zyr_devices.h"
#include "zyr_run.h"

namespace {

using loader::Outcome;
using loader::StopReason;

// What the fake libraries were asked, and what they answer.
struct Fake {
  std::vector<std::string> calls;
  std::deque<std::string> prints;  // first generation: one fetch each, channel 1
  std::string fail;                // the call that fails
  ZyrPrintCallback callback = nullptr;
};
Fake g_fake;
char g_handle;

void Call(const std::string& call) { g_fake.calls.push_back(call); }
int Result(const std::string& call) {
  Call(call);
  return g_fake.fail == call ? 0 : 1;
}

loader::Reporter Capture(std::string* out) {
  return loader::Reporter("tool", [out](const char* text, size_t length) { out->append(text, length); });
}

// The one device each search finds.
template <typename Id>
Id OneDevice();
template <>
uint32_t OneDevice<uint32_t>() {
  return 0x20000001;
}
template <>
ZyrDeviceId OneDevice<ZyrDeviceId>() {
  return {loader::kZyrEmulatorCode, 1};
}

// The search and the reset, alike in both libraries.
template <typename Id, typename Api>
void FillSearchAndReset(Api* api) {
  api->find_open = []() -> void* { return &g_handle; };
  api->find_next = [](void*, Id* id) {
    *id = OneDevice<Id>();
    return g_fake.calls.empty() ? Result("FindNext") : 0;
  };
  api->reset = [](void*, int hold) { return Result("Reset " + std::to_string(hold)); };
}

void FillDravo(loader::DravoApi* api) {
  FillSearchAndReset<uint32_t>(api);
  api->device_open = [](uint32_t) -> void* { return Result("DeviceOpen") ? &g_handle : nullptr; };
  api->write_rom = [](void*, const void*, uint32_t offset, uint32_t length) {
    return Result("WriteROM " + std::to_string(offset) + " " + std::to_string(length));
  };
  api->cartridge_slot_power = [](void*, int on) { return Result("Cartridge " + std::to_string(on)); };
  api->card_slot_power = [](void*, int on) { return Result("Card " + std::to_string(on)); };
  api->get_debug_print = [](void*, int channel, char* buffer, uint32_t* length, uint32_t) {
    if (g_fake.fail == "GetDebugPrint") return Result("GetDebugPrint");
    if (channel == 1 && !g_fake.prints.empty()) {
      *length = static_cast<uint32_t>(g_fake.prints.front().copy(buffer, 512));
      g_fake.prints.pop_front();
    }
    return 1;
  };
  api->device_close = [](void*) { return Result("DeviceClose"); };
}

TEST(DravoRun, StreamsTheImageStartsAndEnds) {
  testing_support::TempDir dir;
  dir.Write("g.srl", std::string(40000, 'x'));
  const std::vector<std::string> download = {"FindNext",          "DeviceOpen",           "Reset 1",
                                             "WriteROM 0 16384",  "WriteROM 16384 16384", "WriteROM 32768 7232"};
  struct Case {
    std::string fail;
    bool card_slot;
    Outcome outcome;
    std::string out;
    size_t downloaded;  // how many of `download` happen
    std::vector<std::string> then;
  };
  const std::vector<Case> cases = {
      {"", true, {208, StopReason::kNone}, "run\n*** Exit Dravo/Zyr program (status=-2)\n", 6,
       {"Card 1", "Reset 0", "Cartridge 0", "Card 0"}},
      {"Card 1", true, {-7, StopReason::kNone}, "*** tool: Error: cannot use card slot.\n", 6, {"Card 1"}},
      {"GetDebugPrint", false, {-8, StopReason::kNone},
       "*** tool: Error: troubled while receiving print data.\n", 6, {"Reset 0", "GetDebugPrint", "DeviceClose"}},
      {"WriteROM 16384 16384", false, {-9, StopReason::kNone},
       "*** tool: Error: troubled while loading input file.\n", 5, {}},
  };
  for (const Case& c : cases) {
    g_fake = Fake();
    g_fake.fail = c.fail;
    g_fake.prints = {"run\n", "*** Exit Dravo/Zyr program (status=-2)\n"};
    loader::DravoApi api;
    FillDravo(&api);
    loader::DravoOptions o;
    o.run.input_path = dir.File("g.srl");
    o.run.card_slot = c.card_slot;
    o.clock.settle_ms = 0;
    std::string out;
    const Outcome outcome = loader::RunDravo(o, api, Capture(&out));
    EXPECT_EQ(outcome.status, c.outcome.status) << c.fail;
    EXPECT_EQ(outcome.reason, c.outcome.reason) << c.fail;
    EXPECT_EQ(out, c.out);
    std::vector<std::string> calls(download.begin(), download.begin() + static_cast<long>(c.downloaded));
    calls.insert(calls.end(), c.then.begin(), c.then.end());
    EXPECT_EQ(g_fake.calls, calls) << c.fail;
  }
}

void FillZyr(loader::ZyrApi* api) {
  FillSearchAndReset<ZyrDeviceId>(api);
  api->device_open_ex = [](ZyrDeviceId) -> void* { return Result("DeviceOpenEx") ? &g_handle : nullptr; };
  api->set_callback_printf = [](void*, ZyrPrintCallback callback, uintptr_t) {
    g_fake.callback = callback;
    return Result("SetCallbackPrintf");
  };
  api->set_hybrid_mode = [](void*, int mode) { return Result("SetHybridMode " + std::to_string(mode)); };
  // The program prints while it is started, on the caller's thread.
  api->download_go2 = [](void*, const char*) {
    for (const std::string& text : g_fake.prints) {
      g_fake.callback(0, 1, 2, text.c_str(), static_cast<uint32_t>(text.size()));
    }
    return Result("DownloadGo2");
  };
  api->get_last_error = []() -> uint32_t { return 0xBEEF; };
}

TEST(ZyrRun, OutputWhileStartingAndTheLibraryThatLacksHybridMode) {
  testing_support::TempDir dir;
  dir.Write("g.srl", std::string(100, 'x'));
  struct Case {
    bool dravo_mode;
    bool without_hybrid;
    Outcome outcome;
    std::string out;
    std::string last_call;
  };
  const std::vector<Case> cases = {
      {false, false, {208, StopReason::kNone}, "<A7:2>hi\n<A7:2>*** Exit Dravo/Zyr program (status=300)\n",
       "DownloadGo2"},
      {true, false, {208, StopReason::kNone}, "<A7:2>hi\n<A7:2>*** Exit Dravo/Zyr program (status=300)\n",
       "DownloadGo2"},
      // The program's output stops before the message, and nothing is downloaded.
      {true, true, {-9, StopReason::kNone},
       "*** tool: Error: cannot run as DRAVO mode. The required version of IS-ZYR-DEBUGGER is v0.64 or later.\n",
       "SetCallbackPrintf"},
  };
  for (const Case& c : cases) {
    g_fake = Fake();
    g_fake.prints = {"hi\n", "*** Exit Dravo/Zyr program (status=300)\n"};
    loader::ZyrApi api;
    FillZyr(&api);
    if (c.without_hybrid) api.set_hybrid_mode = nullptr;
    loader::ZyrOptions o;
    o.run.input_path = dir.File("g.srl");
    o.dravo_mode = c.dravo_mode;
    o.architecture_tags = true;
    o.console_tags = true;
    o.clock.settle_ms = 0;
    std::string out;
    const Outcome outcome = loader::RunZyr(o, api, Capture(&out));
    EXPECT_EQ(outcome.status, c.outcome.status);
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(g_fake.calls.back(), c.last_call);
    if (!c.without_hybrid) {
      EXPECT_EQ(g_fake.calls[g_fake.calls.size() - 2], "SetHybridMode " + std::to_string(c.dravo_mode));
    }
    // Once the run is over, the callback writes nothing more.
    g_fake.callback(0, 0, 0, "late\n", 5);
    EXPECT_EQ(out, c.out);
  }
}

}  // namespace
