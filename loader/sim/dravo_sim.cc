// A simulated ISDRAVO.DLL: a stand-in for the debugger vendor's device
// library, so that bootcast runs without the hardware (from make files and in
// the tests). It offers the devices, failures and console output that its
// environment asks for and can record every call; loader/README.md describes
// the settings. Without settings it offers one DRAVOUSB device whose program
// prints its argument strings and exits with status 0.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "dravo_api.h"
#include "sim/sim_script.h"

namespace {

constexpr char kArgumentMarker[] = ":$@$Argument$@$:";
constexpr size_t kArgumentMarkerLength = sizeof kArgumentMarker - 1;
// The simulated device's ROM: a write beyond it fails.
constexpr uint64_t kRomCapacity = 256u << 20;
constexpr uint32_t kDefaultDevice = 0x20000001;  // DRAVOUSB, serial 1

struct Piece {
  long long due_ms = 0;
  std::string text;
};

struct Simulator {
  bool configured = false;
  std::vector<uint32_t> devices;
  sim_script::DeviceSearch<uint32_t> search;
  // Failures: call numbers count from 1, 0 means never.
  bool fail_find_open = false;
  bool fail_device_open = false;
  bool fail_cartridge = false;
  bool fail_card = false;
  long fail_write_rom = 0;
  long fail_get_debug_print = 0;
  long write_rom_calls = 0;
  long get_debug_print_calls = 0;
  std::unique_ptr<sim_script::CallLog> log;
  // Settings that could not be used: the program reports them and fails.
  std::vector<std::string> problems;
  std::string rom_path;
  std::string script_path;
  std::FILE* rom_file = nullptr;
  std::vector<uint8_t> rom;
  bool running = false;
  std::chrono::steady_clock::time_point start;
  std::deque<Piece> channels[2];

  ~Simulator() {
    if (rom_file != nullptr) std::fclose(rom_file);
  }
};

// The handle given out for the device: its address only identifies it.
char g_device_handle;

Simulator& Sim();

constexpr char kName[] = "ISDRAVO.DLL (simulated): ";

// A setting that cannot be used is said at once on standard error (a device
// listing runs no program) and again by the program, which then fails.
void Complain(Simulator* sim, const std::string& what) {
  std::fprintf(stderr, "%s%s\n", kName, what.c_str());
  sim->problems.push_back(what);
}

using sim_script::Env;
using sim_script::Split;

bool ParseNumber(const std::string& text, int base, unsigned long long* value) {
  return sim_script::ParseUnsigned(text, base, value);
}

// One device: a raw identifier ("0x20000001", "536870913") or KIND:SERIAL with
// KIND one of VKTUSB, VKTSCSI, DRAVOUSB, DRAVOUIC.
bool ParseDevice(const std::string& entry, uint32_t* id) {
  static constexpr const char* kKinds[] = {"VKTUSB", "VKTSCSI", "DRAVOUSB", "DRAVOUIC"};
  const size_t colon = entry.find(':');
  unsigned long long value = 0;
  if (colon == std::string::npos) {
    if (!ParseNumber(entry, 0, &value) || value > 0xFFFFFFFFull) return false;
    *id = static_cast<uint32_t>(value);
    return true;
  }
  const std::string kind = entry.substr(0, colon);
  for (uint32_t k = 0; k < 4; ++k) {
    if (kind != kKinds[k]) continue;
    if (!ParseNumber(entry.substr(colon + 1), 0, &value) || value > 0x0FFFFFFFull) return false;
    *id = (k << 28) | static_cast<uint32_t>(value);
    return true;
  }
  return false;
}

void Configure(Simulator* sim) {
  sim->configured = true;
  const char* devices = std::getenv("ISDRAVO_SIM_DEVICES");
  if (devices == nullptr) {
    sim->devices.push_back(kDefaultDevice);
  } else {
    for (const std::string& entry : Split(devices, ',')) {
      if (entry.empty()) continue;
      uint32_t id = 0;
      if (ParseDevice(entry, &id)) {
        sim->devices.push_back(id);
      } else {
        Complain(sim, "cannot use device '" + entry + "'");
      }
    }
  }
  for (const std::string& item : Split(Env("ISDRAVO_SIM_FAIL"), ',')) {
    unsigned long long n = 0;
    if (item.empty()) continue;
    if (item == "findopen") {
      sim->fail_find_open = true;
    } else if (item == "deviceopen") {
      sim->fail_device_open = true;
    } else if (item == "cartridge") {
      sim->fail_cartridge = true;
    } else if (item == "card") {
      sim->fail_card = true;
    } else if (item.rfind("writerom:", 0) == 0 && ParseNumber(item.substr(9), 10, &n) && n > 0) {
      sim->fail_write_rom = static_cast<long>(n);
    } else if (item.rfind("getdebugprint:", 0) == 0 && ParseNumber(item.substr(14), 10, &n) && n > 0) {
      sim->fail_get_debug_print = static_cast<long>(n);
    } else {
      Complain(sim, "cannot use failure '" + item + "'");
    }
  }
  sim->log = std::make_unique<sim_script::CallLog>(Env("ISDRAVO_SIM_LOG"));
  sim->rom_path = Env("ISDRAVO_SIM_ROM");
  sim->script_path = Env("ISDRAVO_SIM_SCRIPT");
}

Simulator& Sim() {
  static Simulator sim;
  if (!sim.configured) Configure(&sim);
  return sim;
}

// The default program: every argument string of the image's argument area on
// a line of its own.
void QueueArguments(Simulator* sim, long long due_ms) {
  const std::vector<uint8_t>& rom = sim->rom;
  if (rom.size() < kArgumentMarkerLength) return;
  const uint8_t* found = nullptr;
  for (size_t i = 0; i + kArgumentMarkerLength <= rom.size(); ++i) {
    if (std::memcmp(rom.data() + i, kArgumentMarker, kArgumentMarkerLength) == 0) {
      found = rom.data() + i;
      break;
    }
  }
  if (found == nullptr) return;
  const size_t marker = static_cast<size_t>(found - rom.data());
  if (marker + 20 > rom.size()) return;
  const size_t size = rom[marker + 18] | (static_cast<size_t>(rom[marker + 19]) << 8);
  size_t pos = marker + 20;
  const size_t end = std::min(rom.size(), pos + size);
  while (pos < end) {
    size_t stop = pos;
    while (stop < end && rom[stop] != 0) ++stop;
    if (stop == pos) break;
    sim->channels[0].push_back(
        {due_ms,
         std::string(rom.begin() + static_cast<long>(pos), rom.begin() + static_cast<long>(stop)) + "\n"});
    pos = stop + 1;
  }
}

void QueueExit(Simulator* sim, long long due_ms, const std::string& status) {
  sim->channels[0].push_back({due_ms, sim_script::ExitLine(status)});
}

// A program whose settings cannot be used says why and fails at once, so a
// mistyped setting in a make file stops the build instead of hanging it.
void QueueProblems(Simulator* sim, const std::vector<std::string>& problems) {
  for (const std::string& problem : problems) sim->channels[0].push_back({0, kName + problem + "\n"});
  QueueExit(sim, 0, std::to_string(sim_script::kSettingsFailedStatus));
}

void StartProgram(Simulator* sim) {
  sim->running = true;
  sim->start = std::chrono::steady_clock::now();
  for (auto& channel : sim->channels) channel.clear();
  if (sim->script_path.empty()) {
    if (!sim->problems.empty()) {
      QueueProblems(sim, sim->problems);
      return;
    }
    QueueArguments(sim, 0);
    QueueExit(sim, 0, "0");
    return;
  }
  std::vector<sim_script::ScriptItem> items;
  std::string problem;
  sim_script::ScriptFormat format;
  format.address_limits = {1};
  if (!sim->problems.empty() || !sim_script::ReadScript(sim->script_path, format, &items, &problem)) {
    std::vector<std::string> problems = sim->problems;
    if (!problem.empty()) problems.push_back(problem);
    QueueProblems(sim, problems);
    return;
  }
  for (const sim_script::ScriptItem& item : items) {
    switch (item.kind) {
      case sim_script::ScriptItem::kPrint:
        sim->channels[item.address[0]].push_back({item.due_ms, item.text});
        break;
      case sim_script::ScriptItem::kArgs:
        QueueArguments(sim, item.due_ms);
        break;
      case sim_script::ScriptItem::kExit:
        QueueExit(sim, item.due_ms, item.text);
        break;
    }
  }
}

}  // namespace

SIM_EXPORT void* DRAVOToolAPIFindOpen() { return Sim().search.Open(Sim().fail_find_open, Sim().log.get()); }

SIM_EXPORT int DRAVOToolAPIFindNext(void* search, uint32_t* device_id) {
  Simulator& sim = Sim();
  if (!sim.search.Next(search, sim.devices, device_id, sim.log.get())) return 0;
  sim.log->Add("FindNext 0x%08x", *device_id);
  return 1;
}

SIM_EXPORT void* DRAVOToolAPIDeviceOpen(uint32_t device_id) {
  Simulator& sim = Sim();
  bool known = false;
  for (uint32_t id : sim.devices) known = known || id == device_id;
  if (sim.fail_device_open || !known) {
    Sim().log->Add("DeviceOpen 0x%08x failed", device_id);
    return nullptr;
  }
  Sim().log->Add("DeviceOpen 0x%08x", device_id);
  sim.rom.clear();
  sim.running = false;
  if (!sim.rom_path.empty()) {
    if (sim.rom_file != nullptr) std::fclose(sim.rom_file);
    sim.rom_file = std::fopen(sim.rom_path.c_str(), "wb");
    if (sim.rom_file == nullptr) Complain(&sim, "cannot create " + sim.rom_path);
  }
  return &g_device_handle;
}

SIM_EXPORT int DRAVOToolAPIReset(void* device, int hold) {
  if (device != &g_device_handle) return 0;
  Simulator& sim = Sim();
  Sim().log->Add("Reset %d", hold);
  if (hold != 0) {
    sim.running = false;
  } else {
    StartProgram(&sim);
  }
  return 1;
}

SIM_EXPORT int DRAVOToolAPIWriteROM(void* device, const void* data, uint32_t offset, uint32_t length) {
  if (device != &g_device_handle || (data == nullptr && length != 0)) return 0;
  Simulator& sim = Sim();
  ++sim.write_rom_calls;
  const uint64_t end = static_cast<uint64_t>(offset) + length;
  if (sim.write_rom_calls == sim.fail_write_rom || end > kRomCapacity) {
    Sim().log->Add("WriteROM %u %u failed", offset, length);
    return 0;
  }
  Sim().log->Add("WriteROM %u %u", offset, length);
  if (sim.rom.size() < end) sim.rom.resize(end);
  std::memcpy(sim.rom.data() + offset, data, length);
  // Flushed at once, so the file holds every byte written while the device runs.
  if (sim.rom_file != nullptr &&
      (std::fseek(sim.rom_file, static_cast<long>(offset), SEEK_SET) != 0 ||
       std::fwrite(data, 1, length, sim.rom_file) != length || std::fflush(sim.rom_file) != 0)) {
    Complain(&sim, "cannot write " + sim.rom_path);
  }
  return 1;
}

SIM_EXPORT int DRAVOToolAPICartridgeSlotPower(void* device, int on) {
  if (device != &g_device_handle) return 0;
  const bool fail = on != 0 && Sim().fail_cartridge;
  Sim().log->Add("CartridgeSlotPower %d%s", on, fail ? " failed" : "");
  return fail ? 0 : 1;
}

SIM_EXPORT int DRAVOToolAPICardSlotPower(void* device, int on) {
  if (device != &g_device_handle) return 0;
  const bool fail = on != 0 && Sim().fail_card;
  Sim().log->Add("CardSlotPower %d%s", on, fail ? " failed" : "");
  return fail ? 0 : 1;
}

// A build with DRAVO_SIM_INCOMPLETE lacks this function, to show how bootcast
// meets a library that misses one it calls.
#ifndef DRAVO_SIM_INCOMPLETE
SIM_EXPORT int DRAVOToolAPIGetDebugPrint(void* device, int channel, char* buffer, uint32_t* length,
                                         uint32_t capacity) {
  if (device != &g_device_handle || buffer == nullptr || length == nullptr || channel < 0 || channel > 1) {
    return 0;
  }
  Simulator& sim = Sim();
  ++sim.get_debug_print_calls;
  *length = 0;
  if (sim.get_debug_print_calls == sim.fail_get_debug_print) {
    Sim().log->Add("GetDebugPrint %d failed", channel);
    return 0;
  }
  std::deque<Piece>& queue = sim.channels[channel];
  if (sim.running && !queue.empty()) {
    const long long now_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sim.start)
            .count();
    Piece& piece = queue.front();
    if (piece.due_ms <= now_ms) {
      const size_t n = std::min<size_t>(capacity, piece.text.size());
      std::memcpy(buffer, piece.text.data(), n);
      piece.text.erase(0, n);
      if (piece.text.empty()) queue.pop_front();
      *length = static_cast<uint32_t>(n);
    }
  }
  Sim().log->Add("GetDebugPrint %d %u", channel, *length);
  return 1;
}
#endif

SIM_EXPORT int DRAVOToolAPIDeviceClose(void* device) {
  if (device != &g_device_handle) return 0;
  Sim().log->Add("DeviceClose");
  Sim().running = false;
  return 1;
}

// Looked up by bootcast but never called: present so the library is complete.
SIM_EXPORT int DRAVOToolAPIFindClose() { return 1; }
SIM_EXPORT int DRAVOToolAPISelector() { return 0; }
SIM_EXPORT int DRAVOToolAPICheckConnect() { return 1; }
SIM_EXPORT int DRAVOToolAPIReadROM() { return 0; }
SIM_EXPORT int DRAVOToolAPISyncWriteROM() { return 0; }
SIM_EXPORT int DRAVOToolAPISyncReadROM() { return 0; }
SIM_EXPORT int DRAVOToolAPIStreamWrite() { return 0; }
SIM_EXPORT int DRAVOToolAPIStreamGetWritableLength() { return 0; }
SIM_EXPORT int DRAVOToolAPISetReceiveStreamCallBackFunction() { return 0; }
SIM_EXPORT int DRAVOToolAPICheckStreamReceive() { return 0; }
SIM_EXPORT int DRAVOToolAPISetSyncTimeout() { return 0; }
SIM_EXPORT int DRAVOToolAPIGetROMSize() { return 0; }
SIM_EXPORT int DRAVOToolAPIGetPowerStatus() { return 0; }
SIM_EXPORT int DRAVOToolAPIGetLastError() { return 0; }
SIM_EXPORT int DRAVOToolAPIGetErrorMessage() { return 0; }
