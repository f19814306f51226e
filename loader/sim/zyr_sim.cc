// A simulated ISZYR.DLL: a stand-in for the second-generation debugger's
// device library, so that bootcast.ZYR runs without the hardware (from make
// files and in the tests). It offers the devices, version, failures and
// console output that its environment asks for, delivers the output from a
// thread of its own as the real library may, and can record every call;
// loader/README.md describes the settings. Without settings it offers one
// emulator whose program prints the argument strings buried in the image and
// exits with status 0.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_script.h"
#include "zyr_api.h"

namespace {

using sim_script::ScriptItem;

constexpr char kName[] = "ISZYR.DLL (simulated): ";
constexpr uint32_t kEmulatorCode = 0x4552595Au;  // "ZYRE"
constexpr uint32_t kDebuggerCode = 0x4452595Au;  // "ZYRD"
// The argument area of a second-generation image.
constexpr std::streamoff kArgumentOffset = 0xE00;
constexpr size_t kArgumentSize = 256;

struct Print {
  long long due_ms = 0;
  int processor = 0;
  int console = 0;
  std::string text;
};

// Delivers the program's output on a thread of its own, each print at its
// time; stops (and is joined) when the library is unloaded or restarted.
class Program {
 public:
  ~Program() { Stop(); }

  void Start(ZyrPrintCallback callback, std::vector<Print> prints) {
    Stop();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
    thread_ = std::thread([this, callback, prints = std::move(prints)] { Deliver(callback, prints); });
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Deliver(ZyrPrintCallback callback, const std::vector<Print>& prints) {
    const auto start = std::chrono::steady_clock::now();
    for (const Print& p : prints) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_until(lock, start + std::chrono::milliseconds(p.due_ms),
                             [this] { return stopping_; })) {
          return;
        }
      }
      callback(0, p.processor, p.console, p.text.c_str(), static_cast<uint32_t>(p.text.size()));
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

struct Simulator {
  std::vector<ZyrDeviceId> devices;
  sim_script::DeviceSearch<ZyrDeviceId> search;
  int32_t version[4] = {0, 64, 2008, 918};
  bool fail_get_version = false;
  bool fail_find_open = false;
  bool fail_device_open = false;
  bool fail_reset = false;
  bool fail_set_callback = false;
  bool fail_set_hybrid_mode = false;
  bool fail_download = false;
  uint32_t last_error = 0;
  std::unique_ptr<sim_script::CallLog> log;
  std::string script_path;
  // Settings that could not be used: the program reports them and fails.
  std::vector<std::string> problems;
  ZyrPrintCallback callback = nullptr;
};

// The handle given out for the device: its address only identifies it.
char g_device_handle;

// A setting that cannot be used is said at once on standard error (a device
// listing runs no program) and again by the program, which then fails.
void Complain(Simulator* sim, const std::string& what) {
  std::fprintf(stderr, "%s%s\n", kName, what.c_str());
  sim->problems.push_back(what);
}

// One device: ZYREMU:SERIAL, ZYRDEB:SERIAL or CODE:SERIAL with a raw kind code.
bool ParseDevice(const std::string& entry, ZyrDeviceId* id) {
  const size_t colon = entry.find(':');
  if (colon == std::string::npos) return false;
  const std::string kind = entry.substr(0, colon);
  unsigned long long code = 0;
  unsigned long long serial = 0;
  if (!sim_script::ParseUnsigned(entry.substr(colon + 1), 0, &serial) || serial > 0xFFFFFFFFull) return false;
  if (kind == "ZYREMU") {
    code = kEmulatorCode;
  } else if (kind == "ZYRDEB") {
    code = kDebuggerCode;
  } else if (!sim_script::ParseUnsigned(kind, 0, &code) || code > 0xFFFFFFFFull) {
    return false;
  }
  *id = {static_cast<uint32_t>(code), static_cast<uint32_t>(serial)};
  return true;
}

bool ParseVersion(const std::string& text, int32_t version[4]) {
  const std::vector<std::string> parts = sim_script::Split(text, '.');
  if (parts.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    unsigned long long v = 0;
    if (!sim_script::ParseUnsigned(parts[i], 10, &v) || v > 0x7FFFFFFF) return false;
    version[i] = static_cast<int32_t>(v);
  }
  return true;
}

void Configure(Simulator* sim) {
  const char* devices = std::getenv("ISZYR_SIM_DEVICES");
  if (devices == nullptr) {
    sim->devices.push_back({kEmulatorCode, 1});
  } else {
    for (const std::string& entry : sim_script::Split(devices, ',')) {
      if (entry.empty()) continue;
      ZyrDeviceId id{0, 0};
      if (ParseDevice(entry, &id)) {
        sim->devices.push_back(id);
      } else {
        Complain(sim, "cannot use device '" + entry + "'");
      }
    }
  }
  const std::string version = sim_script::Env("ISZYR_SIM_VERSION");
  if (!version.empty() && !ParseVersion(version, sim->version)) {
    Complain(sim, "cannot use version '" + version + "'");
  }
  struct {
    const char* name;
    bool Simulator::*flag;
  } const kFailures[] = {
      {"getversion", &Simulator::fail_get_version},
      {"findopen", &Simulator::fail_find_open},
      {"deviceopen", &Simulator::fail_device_open},
      {"reset", &Simulator::fail_reset},
      {"setcallbackprintf", &Simulator::fail_set_callback},
      {"sethybridmode", &Simulator::fail_set_hybrid_mode},
      {"downloadgo2", &Simulator::fail_download},
  };
  for (const std::string& item : sim_script::Split(sim_script::Env("ISZYR_SIM_FAIL"), ',')) {
    if (item.empty()) continue;
    bool known = false;
    for (const auto& failure : kFailures) {
      if (item != failure.name) continue;
      sim->*failure.flag = true;
      known = true;
    }
    if (!known) Complain(sim, "cannot use failure '" + item + "'");
  }
  const std::string last_error = sim_script::Env("ISZYR_SIM_LAST_ERROR");
  unsigned long long value = 0;
  if (!last_error.empty()) {
    if (sim_script::ParseUnsigned(last_error, 0, &value) && value <= 0xFFFFFFFFull) {
      sim->last_error = static_cast<uint32_t>(value);
    } else {
      Complain(sim, "cannot use last error '" + last_error + "'");
    }
  }
  sim->log = std::make_unique<sim_script::CallLog>(sim_script::Env("ISZYR_SIM_LOG"));
  sim->script_path = sim_script::Env("ISZYR_SIM_SCRIPT");
}

Simulator& Sim() {
  static Simulator sim;
  static const bool configured = (Configure(&sim), true);
  (void)configured;
  return sim;
}

// The running program is a static object of the library: unloading the
// library (or the end of the process) stops and joins its thread.
Program& TheProgram() {
  static Program program;
  return program;
}

// A kind code as the call record shows it: its four characters when they
// are letters, else the number.
std::string CodeText(uint32_t code) {
  char text[16];
  bool letters = true;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((code >> (8 * i)) & 0xFF);
    letters = letters && c >= 'A' && c <= 'Z';
    text[i] = c;
  }
  if (letters) {
    text[4] = '\0';
  } else {
    std::snprintf(text, sizeof text, "0x%08x", code);
  }
  return text;
}

// The default program's lines: every argument string of the image's fixed
// argument area, up to the first empty one.
void AddArguments(const std::string& path, long long due_ms, std::vector<Print>* prints) {
  std::ifstream image(path, std::ios::binary);
  char area[kArgumentSize + 1] = {};
  image.seekg(kArgumentOffset);
  if (image) image.read(area, kArgumentSize);
  size_t pos = 0;
  while (pos < kArgumentSize && area[pos] != '\0') {
    const size_t length = std::strlen(area + pos);
    prints->push_back({due_ms, 0, 0, std::string(area + pos, length) + "\n"});
    pos += length + 1;
  }
}

// The program for the image at `path`: the script's (the part before its go
// line into `early`), or the default one.
void MakeProgram(const Simulator& sim, const std::string& path, std::vector<Print>* early,
                 std::vector<Print>* later) {
  std::vector<ScriptItem> items;
  std::string problem;
  sim_script::ScriptFormat format;
  format.address_limits = {255, 255};
  format.allow_go = true;
  std::vector<std::string> problems = sim.problems;
  if (problems.empty() && sim.script_path.empty()) {
    AddArguments(path, 0, later);
    later->push_back({0, 0, 0, sim_script::ExitLine("0")});
    return;
  }
  if (problems.empty() && !sim_script::ReadScript(sim.script_path, format, &items, &problem)) {
    problems.push_back(problem);
  }
  // A program whose settings cannot be used says why and fails at once, so a
  // mistyped setting in a make file stops the build instead of hanging it.
  if (!problems.empty()) {
    for (const std::string& p : problems) later->push_back({0, 0, 0, kName + p + "\n"});
    later->push_back({0, 0, 0, sim_script::ExitLine(std::to_string(sim_script::kSettingsFailedStatus))});
    return;
  }
  for (const ScriptItem& item : items) {
    std::vector<Print>* to = item.before_go ? early : later;
    switch (item.kind) {
      case ScriptItem::kPrint:
        to->push_back(
            {item.due_ms, static_cast<int>(item.address[0]), static_cast<int>(item.address[1]), item.text});
        break;
      case ScriptItem::kArgs:
        AddArguments(path, item.due_ms, to);
        break;
      case ScriptItem::kExit:
        to->push_back({item.due_ms, 0, 0, sim_script::ExitLine(item.text)});
        break;
    }
  }
}

}  // namespace

SIM_EXPORT int ISDGetVersion(int32_t* major, int32_t* minor, int32_t* part3, int32_t* part4) {
  Simulator& sim = Sim();
  if (sim.fail_get_version || major == nullptr || minor == nullptr || part3 == nullptr || part4 == nullptr) {
    sim.log->Add("GetVersion failed");
    return 0;
  }
  sim.log->Add("GetVersion");
  *major = sim.version[0];
  *minor = sim.version[1];
  *part3 = sim.version[2];
  *part4 = sim.version[3];
  return 1;
}

SIM_EXPORT void* ISDFindOpen() { return Sim().search.Open(Sim().fail_find_open, Sim().log.get()); }

SIM_EXPORT int ISDFindNext(void* search, ZyrDeviceId* device_id) {
  Simulator& sim = Sim();
  if (!sim.search.Next(search, sim.devices, device_id, sim.log.get())) return 0;
  sim.log->Add("FindNext %s %u", CodeText(device_id->kind_code).c_str(), device_id->serial);
  return 1;
}

SIM_EXPORT void* ISDDeviceOpenEx(ZyrDeviceId device_id) {
  Simulator& sim = Sim();
  bool known = false;
  for (const ZyrDeviceId& id : sim.devices) {
    known = known || (id.kind_code == device_id.kind_code && id.serial == device_id.serial);
  }
  const bool fail = sim.fail_device_open || !known;
  sim.log->Add("DeviceOpenEx %s %u%s", CodeText(device_id.kind_code).c_str(), device_id.serial,
               fail ? " failed" : "");
  return fail ? nullptr : &g_device_handle;
}

SIM_EXPORT int ISDReset(void* device, int hold) {
  if (device != &g_device_handle) return 0;
  Simulator& sim = Sim();
  sim.log->Add("Reset %d%s", hold, sim.fail_reset ? " failed" : "");
  return sim.fail_reset ? 0 : 1;
}

SIM_EXPORT int ISDSetCallbackPrintf(void* device, ZyrPrintCallback callback, uintptr_t user_value) {
  if (device != &g_device_handle) return 0;
  Simulator& sim = Sim();
  sim.log->Add("SetCallbackPrintf %lu%s", static_cast<unsigned long>(user_value),
               sim.fail_set_callback ? " failed" : "");
  if (sim.fail_set_callback) return 0;
  sim.callback = callback;
  return 1;
}

// A build with ZYR_SIM_NO_HYBRID lacks this function, as libraries before
// first-generation mode do.
#ifndef ZYR_SIM_NO_HYBRID
SIM_EXPORT int ISDSetHybridMode(void* device, int dravo_mode) {
  if (device != &g_device_handle) return 0;
  Simulator& sim = Sim();
  sim.log->Add("SetHybridMode %d%s", dravo_mode, sim.fail_set_hybrid_mode ? " failed" : "");
  return sim.fail_set_hybrid_mode ? 0 : 1;
}
#endif

SIM_EXPORT int ISDDownloadGo2(void* device, const char* path) {
  if (device != &g_device_handle || path == nullptr) return 0;
  Simulator& sim = Sim();
  std::ifstream image(path, std::ios::binary);
  const bool fail = sim.fail_download || !image;
  sim.log->Add("DownloadGo2 %s%s", path, fail ? " failed" : "");
  if (fail) return 0;
  std::vector<Print> early;
  std::vector<Print> later;
  MakeProgram(sim, path, &early, &later);
  if (sim.callback == nullptr) return 1;
  // What the script prints before its go line comes while the image is being
  // started, on the caller's thread.
  const auto start = std::chrono::steady_clock::now();
  for (const Print& p : early) {
    std::this_thread::sleep_until(start + std::chrono::milliseconds(p.due_ms));
    sim.callback(0, p.processor, p.console, p.text.c_str(), static_cast<uint32_t>(p.text.size()));
  }
  TheProgram().Start(sim.callback, std::move(later));
  return 1;
}

SIM_EXPORT uint32_t ISDGetLastError() {
  Simulator& sim = Sim();
  sim.log->Add("GetLastError");
  return sim.last_error;
}

// Looked up by bootcast.ZYR but never called: present so the library is complete.
SIM_EXPORT int ISDFindClose() { return 1; }
SIM_EXPORT int ISDDeviceOpen() { return 0; }
SIM_EXPORT int ISDDeviceClose() { return 1; }
SIM_EXPORT int ISDGetDeviceID() { return 0; }
SIM_EXPORT int ISDCheckConnect() { return 1; }
SIM_EXPORT int ISDWriteEMUROM2() { return 0; }
SIM_EXPORT int ISDReadEMUROM2() { return 0; }
SIM_EXPORT int ISDGetEMUROMSize2() { return 0; }
SIM_EXPORT int ISDGetErrorMessage() { return 0; }
