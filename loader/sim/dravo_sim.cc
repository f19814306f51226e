// A simulated ISDRAVO.DLL: a stand-in for the debugger vendor's device
// library, so that bootcast runs without the hardware (from make files and in
// the tests). It offers the devices, failures and console output that its
// environment asks for and can record every call; loader/README.md describes
// the settings. Without settings it offers one DRAVOUSB device whose program
// prints its argument strings and exits with status 0.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dravo_api.h"

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr char kArgumentMarker[] = ":$@$Argument$@$:";
constexpr size_t kArgumentMarkerLength = sizeof kArgumentMarker - 1;
constexpr char kExitPrefix[] = "*** Exit Dravo/Zyr program (status=";
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
  size_t next_device = 0;
  // Failures: call numbers count from 1, 0 means never.
  bool fail_find_open = false;
  bool fail_device_open = false;
  bool fail_cartridge = false;
  bool fail_card = false;
  long fail_write_rom = 0;
  long fail_get_debug_print = 0;
  long write_rom_calls = 0;
  long get_debug_print_calls = 0;
  std::string log_path;
  std::string rom_path;
  std::string script_path;
  int rom_fd = -1;
  std::vector<uint8_t> rom;
  bool running = false;
  std::chrono::steady_clock::time_point start;
  std::deque<Piece> channels[2];

  ~Simulator() {
    if (rom_fd >= 0) close(rom_fd);
  }
};

// Handles given out: their addresses only identify them.
char g_search_handle;
char g_device_handle;

Simulator& Sim();

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
  const Simulator& sim = Sim();
  if (sim.log_path.empty()) return;
  FILE* f = std::fopen(sim.log_path.c_str(), "a");
  if (f == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(f, format, args);
  va_end(args);
  std::fputc('\n', f);
  std::fclose(f);
}

void Complain(const std::string& what) {
  std::fprintf(stderr, "ISDRAVO.DLL (simulated): %s\n", what.c_str());
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool ParseNumber(const std::string& text, int base, unsigned long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtoull(text.c_str(), &end, base);
  return *end == '\0' && text[0] != '-';
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
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
        Complain("ignoring device '" + entry + "'");
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
      Complain("ignoring failure '" + item + "'");
    }
  }
  sim->log_path = Env("ISDRAVO_SIM_LOG");
  sim->rom_path = Env("ISDRAVO_SIM_ROM");
  sim->script_path = Env("ISDRAVO_SIM_SCRIPT");
}

Simulator& Sim() {
  static Simulator sim;
  if (!sim.configured) Configure(&sim);
  return sim;
}

// Decodes the C escapes \n \r \t \\ \xHH of a script text.
bool Unescape(const std::string& in, std::string* out) {
  out->clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out->push_back(in[i]);
      continue;
    }
    if (++i == in.size()) return false;
    switch (in[i]) {
      case 'n':
        out->push_back('\n');
        break;
      case 'r':
        out->push_back('\r');
        break;
      case 't':
        out->push_back('\t');
        break;
      case '\\':
        out->push_back('\\');
        break;
      case 'x': {
        unsigned long long v = 0;
        if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(in[i + 2])) ||
            !ParseNumber(in.substr(i + 1, 2), 16, &v)) {
          return false;
        }
        out->push_back(static_cast<char>(v));
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
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
  sim->channels[0].push_back({due_ms, kExitPrefix + status + ")\n"});
}

void StartProgram(Simulator* sim) {
  sim->running = true;
  sim->start = std::chrono::steady_clock::now();
  for (auto& channel : sim->channels) channel.clear();
  if (sim->script_path.empty()) {
    QueueArguments(sim, 0);
    QueueExit(sim, 0, "0");
    return;
  }
  std::ifstream script(sim->script_path);
  if (!script) {
    Complain("cannot read script " + sim->script_path);
    return;
  }
  long long due_ms = 0;
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    unsigned long long value = 0;
    bool ok = true;
    if (command == "wait") {
      ok = ParseNumber(rest, 10, &value);
      due_ms += static_cast<long long>(value);
    } else if (command == "print") {
      std::string text;
      const size_t gap = rest.find(' ');
      const std::string channel = rest.substr(0, gap);
      ok = (channel == "0" || channel == "1") && gap != std::string::npos &&
           Unescape(rest.substr(gap + 1), &text) && !text.empty();
      if (ok) sim->channels[channel[0] - '0'].push_back({due_ms, text});
    } else if (command == "args") {
      QueueArguments(sim, due_ms);
    } else if (command == "exit") {
      QueueExit(sim, due_ms, rest);
    } else {
      ok = false;
    }
    if (!ok) Complain(sim->script_path + ":" + std::to_string(number) + ": cannot understand '" + line + "'");
  }
}

}  // namespace

SIM_EXPORT void* DRAVOToolAPIFindOpen() {
  Simulator& sim = Sim();
  if (sim.fail_find_open) {
    Log("FindOpen failed");
    return nullptr;
  }
  Log("FindOpen");
  sim.next_device = 0;
  return &g_search_handle;
}

SIM_EXPORT int DRAVOToolAPIFindNext(void* search, uint32_t* device_id) {
  Simulator& sim = Sim();
  if (search != &g_search_handle || device_id == nullptr) return 0;
  if (sim.next_device >= sim.devices.size()) {
    Log("FindNext end");
    return 0;
  }
  *device_id = sim.devices[sim.next_device++];
  Log("FindNext 0x%08x", *device_id);
  return 1;
}

SIM_EXPORT void* DRAVOToolAPIDeviceOpen(uint32_t device_id) {
  Simulator& sim = Sim();
  bool known = false;
  for (uint32_t id : sim.devices) known = known || id == device_id;
  if (sim.fail_device_open || !known) {
    Log("DeviceOpen 0x%08x failed", device_id);
    return nullptr;
  }
  Log("DeviceOpen 0x%08x", device_id);
  sim.rom.clear();
  sim.running = false;
  if (!sim.rom_path.empty()) {
    if (sim.rom_fd >= 0) close(sim.rom_fd);
    sim.rom_fd = open(sim.rom_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (sim.rom_fd < 0) Complain("cannot create " + sim.rom_path);
  }
  return &g_device_handle;
}

SIM_EXPORT int DRAVOToolAPIReset(void* device, int hold) {
  if (device != &g_device_handle) return 0;
  Simulator& sim = Sim();
  Log("Reset %d", hold);
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
    Log("WriteROM %u %u failed", offset, length);
    return 0;
  }
  Log("WriteROM %u %u", offset, length);
  if (sim.rom.size() < end) sim.rom.resize(end);
  std::memcpy(sim.rom.data() + offset, data, length);
  if (sim.rom_fd >= 0 && pwrite(sim.rom_fd, data, length, offset) != static_cast<ssize_t>(length)) {
    Complain("cannot write " + sim.rom_path);
  }
  return 1;
}

SIM_EXPORT int DRAVOToolAPICartridgeSlotPower(void* device, int on) {
  if (device != &g_device_handle) return 0;
  const bool fail = on != 0 && Sim().fail_cartridge;
  Log("CartridgeSlotPower %d%s", on, fail ? " failed" : "");
  return fail ? 0 : 1;
}

SIM_EXPORT int DRAVOToolAPICardSlotPower(void* device, int on) {
  if (device != &g_device_handle) return 0;
  const bool fail = on != 0 && Sim().fail_card;
  Log("CardSlotPower %d%s", on, fail ? " failed" : "");
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
    Log("GetDebugPrint %d failed", channel);
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
  Log("GetDebugPrint %d %u", channel, *length);
  return 1;
}
#endif

SIM_EXPORT int DRAVOToolAPIDeviceClose(void* device) {
  if (device != &g_device_handle) return 0;
  Log("DeviceClose");
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
