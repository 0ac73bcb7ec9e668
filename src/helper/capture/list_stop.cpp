#include "helper/capture/capture_commands.h"

#include "VelorantisAPI.h"
#include "helper/capture_ends/capture_ends.h"
#include "helper/device/device_lookup.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/response.h"
#include "helper/ledger/ledger_store.h"
#include "helper/lock/change_lock.h"
#include "helper/records_db/records_db.h"
#include "helper/retention/retention.h"
#include "shared/discovery.h"

namespace {

void WriteDeviceObject(std::string& out, const char* macText, const char* model) {
  out += "{\n\"mac\": \"";
  WriteJsonText(out, macText);
  out += "\",\n\"type\": \"";
  WriteJsonText(out, model);
  out += "\"\n}";
}

}  // namespace

Status OutputList(const Request&, ResponseBody& body) {
  std::string& out = body.text;
  PrepareDevices();
  out += "\"devices\": [\n";
  bool first = true;
  ForEachDevice([&](const ListedDevice& device) {
    if (!first) out += ',';
    first = false;
    WriteDeviceObject(out, device.macText, device.model);
    return true;
  });
  out += "]\n";
  return {};
}

Status StopCapture(const Request& request, ResponseBody&) {
  void* handle = nullptr;
  if (Status found = FindRequestedDevice(request, handle); !found.ok()) return found;
  ChangeLock lock;
  if (Status locked = LockChanges(lock, program_paths.lockFile); !locked.ok()) return locked;
  // Only a capture the ledger thinks running costs a status call: one that
  // ended before this stop was not stopped by it.
  const std::string mac = MacTextOf(handle);
  // Stop never changes its answer for a ledger that cannot be read or
  // written: the device's own answer stands.
  Connection ledger;
  std::vector<LedgerEntry> claims;
  const bool noted = OpenRecords(DatabaseUse::kWriter, ledger).ok() &&
                     ActiveCaptures(ledger.get(), mac.c_str(), claims).ok() && !claims.empty();
  if (noted && CaptureStateOf(handle) == 0) {
    for (const LedgerEntry& entry : claims) {
      Settled settled = Settled::kActive;
      static_cast<void>(
          SettleCapture(ledger.get(), entry, DeviceNow::kIdle, EndError::kTakeNow, settled));
    }
  }
  if (const int rc = VelorantisAPIDiskDumpStop(handle); rc != 0) {
    return Failed(Message::kFailedStop, LibraryCause("VelorantisAPIDiskDumpStop", rc));
  }
  if (noted) {
    static_cast<void>(NoteCapturesStopped(ledger.get(), mac, ShownUser(request.caller),
                                          ShownAddress(request.caller)));
    PruneReport pruned;
    static_cast<void>(KeepWithinPolicy(ledger.get(), {}, false, pruned));
  }
  return {};
}
