#include "helper/capture/capture_commands.h"

#include "VelorantisAPI.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "helper/ledger/capture_ends.h"
#include "helper/ledger/ledger_store.h"
#include "helper/lock/device_request_lock.h"
#include "shared/discovery.h"
#include "shared/paths.h"

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
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  bool first = true;
  for (VelorantisAPIDeviceListNode* node = list->first; node != nullptr; node = node->next) {
    char model[kDeviceTextSize];
    char macText[kDeviceTextSize];
    if (GetDeviceInfo(node->handle, model, macText) != 0) continue;
    if (!first) out += ',';
    first = false;
    WriteDeviceObject(out, macText, model);
  }
  out += "]\n";
  VelorantisApiDeviceListFree(list);
  return 0;
}

int StopCapture(ResponseBody& body) {
  void* handle = FindDevice(getvar("mac"));
  if (handle == NoDevice()) {
    WriteOutcome(body.text, "Invalid MAC address");
    return 0;
  }
  DeviceRequestLock lock;
  if (const char* failure = LockDeviceRequests(lock, kDeviceLockPath)) {
    WriteOutcome(body.text, failure);
    return 0;
  }
  // Only a capture the ledger thinks running costs a status call: one that
  // ended before this stop was not stopped by it.
  const std::string mac = MacTextOf(handle);
  Connection ledger = OpenLedger(kConfigDatabasePath);
  const bool noted = ledger && !RunningCaptures(ledger.get(), mac.c_str()).empty();
  if (noted && CaptureStateOf(handle) == 0) NoteCapturesEnded(ledger.get(), mac);
  const bool stopped = VelorantisAPIDiskDumpStop(handle) == 0;
  if (stopped && noted) NoteCapturesStopped(ledger.get(), mac);
  WriteOutcome(body.text, stopped ? nullptr : "Failed to stop capture", kStopFailed);
  return 0;
}
