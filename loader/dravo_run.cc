#include "dravo_run.h"

#include <cstdio>
#include <vector>

#include "dravo_devices.h"
#include "poll_monitor.h"

namespace loader {
namespace {

constexpr size_t kChunkSize = 16384;
constexpr long kStarEvery = 32;

// Opens the input, connects the device and streams the image into it in
// chunks (never held whole). Returns kGoOn or the error status (message
// printed).
int Download(const DravoOptions& o, const DravoApi& api, uint32_t device_id, const RunClock& clock,
             const Reporter& reporter, void** device) {
  support::File input;
  if (o.run.from_stdin) {
    support::SetBinaryMode(stdin);
    input.OpenStandardInput();
  } else if (!OpenImage(o.run.input_path, support::File::Mode::kReadAny, &input)) {
    return reporter.Fail("cannot open input file.", kErrorInput);
  }
  *device = api.device_open(device_id);
  if (*device == nullptr) return reporter.Fail("cannot connect device.", kErrorConnect);

  api.reset(*device, 1);
  clock.Settle();

  std::vector<unsigned char> chunk(kChunkSize);
  uint64_t total = 0;
  for (long index = 0;; ++index) {
    const long long got = input.Read(chunk.data(), chunk.size());
    // A read error must not pass for the end of the image.
    if (got < 0) return reporter.Fail("troubled while loading input file.", kErrorLoad);
    if (got == 0) break;
    // ROM offsets are 32 bits: an image beyond them would wrap onto its start.
    const uint32_t length = static_cast<uint32_t>(got);
    if (total + length > UINT32_MAX ||
        api.write_rom(*device, chunk.data(), static_cast<uint32_t>(total), length) == 0) {
      return reporter.Fail("troubled while loading input file.", kErrorLoad);
    }
    total += length;
    if (o.run.verbose && index % kStarEvery == 0) reporter.Write("*");
  }
  // The image is in; standard input goes back to text mode.
  if (o.run.from_stdin) support::SetTextMode(stdin);
  if (o.run.verbose) reporter.Write(InputSizeLine(total));
  return kGoOn;
}

int StartProgram(const DravoOptions& o, const DravoApi& api, const RunClock& clock, const Reporter& reporter,
                 void* device) {
  if (o.run.cartridge_slot && api.cartridge_slot_power(device, 1) == 0) {
    return reporter.Fail("cannot use cartridge slot.", kErrorCartridge);
  }
  if (o.run.card_slot && api.card_slot_power(device, 1) == 0) {
    return reporter.Fail("cannot use card slot.", kErrorCard);
  }
  clock.Settle();
  api.reset(device, 0);
  return kGoOn;
}

// Relays the program's output until the run ends; a failed fetch closes the
// device and takes the error path.
Outcome Monitor(const DravoOptions& o, const DravoApi& api, const RunClock& clock, const Reporter& reporter,
                void* device) {
  MonitorSettings settings;
  settings.line.quiet = o.run.quiet;
  settings.line.abort_string = o.run.has_abort_string ? o.run.abort_string : std::string();
  settings.lap = o.run.lap;
  settings.print_timeout_s = o.run.print_timeout_s;
  settings.exec_timeout_s = o.run.exec_timeout_s;

  MonitorHooks hooks;
  hooks.fetch = [&](int channel, char* buffer, uint32_t* length) {
    *length = 0;
    return api.get_debug_print(device, channel, buffer, length, kFetchCapacity) != 0;
  };
  hooks.write = reporter.sink();
  hooks.sleep = [](int ms) { RunClock::Sleep(ms); };
  hooks.elapsed_seconds = [&clock]() { return clock.ElapsedSeconds(); };
  hooks.user_break = &UserBreakFlag();

  const MonitorResult result = RunMonitor(settings, hooks);
  if (result.end == RunEnd::kFetchFailed) {
    api.device_close(device);
    return reporter.FailRun("troubled while receiving print data.", kErrorReceive);
  }
  // Whatever the slot options were, both slots go off at the end of a run.
  api.cartridge_slot_power(device, 0);
  api.card_slot_power(device, 0);
  return EndOutcome(result.end, result.program_status);
}

}  // namespace

int ListDravoDevices(const DravoApi& api, const Reporter& reporter) {
  return ListDevices(api, DecodeDravoDevice, DravoDeviceListing, reporter);
}

Outcome RunDravo(const DravoOptions& o, const DravoApi& api, const Reporter& reporter) {
  if (o.run.verbose) reporter.Write(SettingsEcho(o.run));
  DravoDeviceTable table;
  const int found = SearchDevices(api, DecodeDravoDevice, &table, reporter);
  if (found != kGoOn) return {found, StopReason::kNone};
  if (table.count == 0) return reporter.FailRun("found no device.", kErrorDevices);
  const int index = SelectDravoDevice(table, o.kind_filter, o.run.serial.number);
  if (index < 0 || table.entries[index].kind == kKindEmpty || table.entries[index].kind == kKindUnknown) {
    return reporter.FailRun("illegal device.", kErrorDevices);
  }

  RunClock clock(o.clock);
  void* device = nullptr;
  int status = Download(o, api, table.entries[index].id, clock, reporter, &device);
  if (status != kGoOn) return {status, StopReason::kNone};
  InstallUserBreak();
  status = StartProgram(o, api, clock, reporter, device);
  if (status != kGoOn) return {status, StopReason::kNone};
  clock.Start();
  return Monitor(o, api, clock, reporter, device);
}

}  // namespace loader
