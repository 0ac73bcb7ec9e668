#include "helper/capture/capture_commands.h"

#include "VelorantisAPI.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "helper/ledger/capture_ends.h"
#include "helper/ledger/ledger_store.h"
#include "helper/ledger/records_db.h"
#include "helper/lock/change_lock.h"
#include "shared/discovery.h"

namespace {

// The one failure with a result of its own: the device was found but refused.
constexpr int kStopFailed = -2;

void WriteDeviceObject(std::string& out, const char* macText, const char* model) {
  out += "{\n\"mac\": \"";
  WriteJsonText(out, macText);
  out += "\",\n\"type\": \"";
  WriteJsonText(out, model);
  out += "\"\n}";
}

}  // namespace

int OutputList(ResponseBody& body) {
  std::string& out = body.text;
  PrepareDevices();
  WriteOutcome(out, nullptr);
  out += ",\n\"devices\": [\n";
  bool first = true;
  ForEachDevice([&](const ListedDevice& device) {
    if (!first) out += ',';
    first = false;
    WriteDeviceObject(out, device.macText, device.model);
    return true;
  });
  out += "]\n";
  return 0;
}

int StopCapture(ResponseBody& body) {
  void* handle = FindDevice(getvar("mac"));
  if (handle == NoDevice()) {
    RecordFailureCause(NoDeviceCause());
    WriteOutcome(body.text, kInvalidMac);
    return 0;
  }
  ChangeLock lock;
  if (const char* failure = LockChanges(lock, program_paths.lockFile)) {
    WriteOutcome(body.text, failure);
    return 0;
  }
  // Only a capture the ledger thinks running costs a status call: one that
  // ended before this stop was not stopped by it.
  const std::string mac = MacTextOf(handle);
  OpenFailure failure;
  Connection ledger = OpenRecords(DatabaseUse::kWriter, failure);
  const std::optional<std::vector<LedgerEntry>> claims =
      ledger ? ActiveCaptures(ledger.get(), mac.c_str()) : std::nullopt;
  const bool noted = claims && !claims->empty();
  if (noted && CaptureStateOf(handle) == 0) {
    for (const LedgerEntry& entry : *claims) SettleCapture(ledger.get(), entry, DeviceNow::kIdle);
  }
  const int rc = VelorantisAPIDiskDumpStop(handle);
  const bool stopped = rc == 0;
  if (!stopped) RecordLibraryFailure("VelorantisAPIDiskDumpStop", rc);
  if (stopped && noted) NoteCapturesStopped(ledger.get(), mac);
  WriteOutcome(body.text, stopped ? nullptr : "Failed to stop capture", kStopFailed);
  return 0;
}
