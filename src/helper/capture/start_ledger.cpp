#include "helper/capture/start_ledger.h"

#include <ctime>
#include <optional>

#include "helper/capture/capture_file.h"
#include "helper/ledger/capture_ends.h"
#include "helper/ledger/ledger_store.h"
#include "shared/discovery.h"

namespace {

// Another device's capture into `file` that still runs. A capture the
// ledger thinks running may have ended by itself since: its device is asked.
bool WrittenByAnotherDevice(sqlite3* ledger, const std::string& mac, const std::string& file) {
  for (const LedgerEntry& entry : RunningCaptures(ledger, nullptr)) {
    if (entry.mac == mac || !SameFile(entry.file, file)) continue;
    void* other = GetDeviceHandle(entry.mac.c_str());
    if (other != NoDevice() && CaptureStateOf(other) == 0) {
      NoteCapturesEnded(ledger, entry.mac);
      continue;
    }
    return true;
  }
  return false;
}

}  // namespace

const char* ClaimCaptureFile(sqlite3* ledger, const std::string& mac, const std::string& file) {
  std::optional<LedgerEntry> earlier;
  if (ledger != nullptr) {
    if (WrittenByAnotherDevice(ledger, mac, file))
      return "Capture file is in use by another device";
    earlier = LatestCaptureOf(ledger, file);
  }
  const std::optional<std::string> kept = KeepEarlierCapture(file, earlier ? earlier->started : -1);
  if (!kept) return "Failed to keep the earlier capture file";
  if (earlier && !kept->empty()) RecordRename(ledger, earlier->id, *kept);
  return nullptr;
}

void RecordStart(sqlite3* ledger, const std::string& mac, const CaptureSettings& settings,
                 bool started) {
  if (ledger == nullptr) return;
  LedgerEntry entry;
  entry.mac = mac;
  entry.file = settings.destination;
  entry.loop = settings.loop ? 1 : 0;
  entry.count = settings.count;
  entry.size = static_cast<int64_t>(settings.size);
  entry.duration = settings.duration;
  entry.inlineMode = settings.inlineMode ? 1 : 0;
  entry.slicing = settings.slicing ? settings.sliceBytes : 0;
  entry.state = started ? "running" : "failed";
  entry.started = time(nullptr);
  entry.startedBy = RequestUser();
  entry.startedFrom = RequestAddress();
  entry.ended = started ? 0 : entry.started;
  RecordCapture(ledger, entry);
}
