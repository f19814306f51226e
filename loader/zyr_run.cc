#include "zyr_run.h"

#include "support/format_text.h"
#include "zyr_devices.h"

namespace loader {
namespace {

void OnPrint(uintptr_t, int processor, int console, const char* text, uint32_t length) {
  if (text != nullptr) TheZyrRelay().Receive(processor, console, text, length);
}

// Chooses the device; kGoOn or the error status (message printed).
int SelectDevice(const ZyrOptions& o, const ZyrDeviceTable& table, const Reporter& reporter, ZyrDeviceId* id) {
  if (table.count == 0) return reporter.Fail("found no device.", kErrorDevices);
  int index = -1;
  if (SelectZyrDevice(table, o.kind_filter, o.run.serial, &index) == ZyrSelection::kSeveralMatch) {
    return reporter.Fail("two or more devices matched to sperified serial number.", kErrorDevices);
  }
  if (index < 0 || table.entries[index].kind == kZyrKindEmpty || table.entries[index].kind == kZyrKindUnknown) {
    return reporter.Fail("illegal device.", kErrorDevices);
  }
  *id = table.entries[index].id;
  return kGoOn;
}

// Stops the program's output on every way out of a run.
struct RelayStop {
  ~RelayStop() { TheZyrRelay().Stop(); }
};

// The error path once the program may print: its output stops first, so that
// the message is not cut into it.
int FailStarted(const Reporter& reporter, const char* message, int status) {
  TheZyrRelay().Stop();
  return reporter.Fail(message, status);
}

// Opens the device, registers the callback and has the library download and
// start the image from its path. Returns kGoOn once the program runs, else
// the error status (message printed).
int DownloadAndStart(const ZyrOptions& o, const ZyrApi& api, const ZyrDeviceId& id, RunClock* clock,
                     const Reporter& reporter) {
  // The device library opens the image again by its name, which a named
  // pipe would not survive: only a regular file is taken.
  support::File input;
  if (!OpenImage(o.run.input_path, support::File::Mode::kReadRegular, &input)) {
    return reporter.Fail("cannot open input file.", kErrorInput);
  }
  void* device = api.device_open_ex(id);
  if (device == nullptr) return reporter.Fail("cannot connect device.", kErrorConnect);
  api.reset(device, 1);
  clock->Settle();

  ConsoleSettings consoles;
  consoles.line.quiet = o.run.quiet;
  consoles.line.abort_string = o.run.has_abort_string ? o.run.abort_string : std::string();
  consoles.lap = o.run.lap;
  consoles.architecture_tags = o.architecture_tags;
  consoles.console_tags = o.console_tags;
  TheZyrRelay().Begin(consoles, reporter.sink(), [clock]() { return clock->ElapsedSeconds(); });
  api.set_callback_printf(device, OnPrint, 0);
  if (api.set_hybrid_mode != nullptr) {
    api.set_hybrid_mode(device, o.dravo_mode ? 1 : 0);
  } else if (o.dravo_mode) {
    return FailStarted(reporter,
                       "cannot run as DRAVO mode. The required version of IS-ZYR-DEBUGGER is v0.64 or later.",
                       kErrorLoad);
  }
  if (api.download_go2(device, o.run.input_path.c_str()) == 0) {
    return FailStarted(reporter, "troubled while loading input file.", kErrorLoad);
  }
  if (o.run.verbose) TheZyrRelay().Write(InputSizeLine(input.size()));
  return kGoOn;
}

}  // namespace

ZyrRelay& TheZyrRelay() {
  static ZyrRelay* relay = new ZyrRelay;
  return *relay;
}

std::string ZyrLastErrorLine(const ZyrApi& api) {
  return support::FormatText("last error=%lx\n", static_cast<unsigned long>(api.get_last_error()));
}

int ShowZyrDebuggerVersion(const ZyrApi& api, const Reporter& reporter) {
  int32_t major = 0, minor = 0, part3 = 0, part4 = 0;
  if (api.get_version(&major, &minor, &part3, &part4) != 0) {
    reporter.Write(support::FormatText("*** %s: %s version is %d.%d.%04d.%04d\n", reporter.tool_name(), kZyrDebuggerName,
                              major, minor, part3, part4));
  } else {
    reporter.Write(support::FormatText("*** %s: failed to get %s version.\n", reporter.tool_name(), kZyrDebuggerName));
  }
  return kStatusDebuggerVersion;
}

int ListZyrDevices(const ZyrApi& api, const Reporter& reporter) {
  return ListDevices(api, DecodeZyrDevice, ZyrDeviceListing, reporter);
}

Outcome RunZyr(const ZyrOptions& o, const ZyrApi& api, const Reporter& reporter) {
  if (o.run.verbose) reporter.Write(SettingsEcho(o.run));
  ZyrDeviceTable table;
  ZyrDeviceId id{0, 0};
  int status = SearchDevices(api, DecodeZyrDevice, &table, reporter);
  if (status == kGoOn) status = SelectDevice(o, table, reporter, &id);
  if (status != kGoOn) return {status, StopReason::kNone};

  RunClock clock(o.clock);
  // Gone before the clock that the relay reads.
  const RelayStop relay_stop;
  status = DownloadAndStart(o, api, id, &clock, reporter);
  if (status != kGoOn) return {status, StopReason::kNone};

  InstallUserBreak();
  clock.Start();
  ZyrWatchSettings watch;
  watch.print_timeout_s = o.run.print_timeout_s;
  watch.exec_timeout_s = o.run.exec_timeout_s;
  ZyrWatchHooks hooks;
  hooks.sleep = [](int ms) { RunClock::Sleep(ms); };
  hooks.elapsed_seconds = [&clock]() { return clock.ElapsedSeconds(); };
  hooks.user_break = &UserBreakFlag();
  const RunEnd end = WatchZyrRun(&TheZyrRelay(), watch, hooks);
  TheZyrRelay().Stop();
  return EndOutcome(end, TheZyrRelay().ProgramStatus());
}

}  // namespace loader
