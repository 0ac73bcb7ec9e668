#include "helper/ledger/capture_ends.h"

#include <cstdlib>
#include <ctime>

#include "VelorantisAPI.h"
#include "helper/ledger/ledger_store.h"
#include "helper/lock/change_lock.h"
#include "shared/discovery.h"
#include "shared/paths.h"
#include "shared/status_db.h"

namespace {

std::string EnvironmentOrDash(const char* name) {
  const char* value = getenv(name);
  return value != nullptr && *value != '\0' ? value : "-";
}

constexpr char kErrorQuery[] =
    "SELECT capture.error FROM capture JOIN device ON capture.device = device.id "
    "WHERE device.mac = ?1";

// The status daemon keeps the device's error figure; the back end has no
// other source for it. Opened as the status command opens it: a connection
// that checkpoints as it closes would fail concurrent status readers.
int64_t StoredErrorOf(const std::string& mac) {
  Connection db = OpenStatusDatabase(program_paths.statusDb);
  if (!db) return 0;
  Statement select = Prepare(db.get(), kErrorQuery);
  if (!select ||
      sqlite3_bind_text(select.get(), 1, mac.c_str(), -1, SQLITE_TRANSIENT) != SQLITE_OK ||
      sqlite3_step(select.get()) != SQLITE_ROW) {
    return 0;
  }
  return sqlite3_column_int64(select.get(), 0);
}

void NoteEnds(sqlite3* ledger, const std::string& mac, const CaptureEnd& end) {
  if (ledger == nullptr) return;
  for (const LedgerEntry& entry : RunningCaptures(ledger, mac.c_str())) {
    RecordEnd(ledger, entry.id, end);
  }
}

}  // namespace

std::string RequestUser() { return EnvironmentOrDash("REMOTE_USER"); }

std::string RequestAddress() { return EnvironmentOrDash("REMOTE_ADDR"); }

int CaptureStateOf(void* handle) {
  VelorantisAPIDiskDumpStatus status{};
  if (VelorantisAPIDiskDumpGetStatus(handle, &status) != 0) return -1;
  return status.running != 0 ? 1 : 0;
}

std::string MacTextOf(void* handle) {
  char model[kDeviceTextSize];
  char macText[kDeviceTextSize];
  if (GetDeviceInfo(handle, model, macText) != 0) return "";
  return macText;
}

void NoteCapturesEnded(sqlite3* ledger, const std::string& mac) {
  NoteEnds(ledger, mac, {"ended", time(nullptr), "", "", StoredErrorOf(mac)});
}

void NoteCapturesStopped(sqlite3* ledger, const std::string& mac) {
  NoteEnds(ledger, mac,
           {"stopped", time(nullptr), RequestUser(), RequestAddress(), StoredErrorOf(mac)});
}

void NoteEndedCaptures(const char* mac) {
  Connection ledger = OpenLedgerReader(program_paths.configDb);
  if (!ledger) return;
  const std::vector<LedgerEntry> running = RunningCaptures(ledger.get(), mac);
  if (running.empty()) return;
  // A start or stop under way will note the end itself.
  ChangeLock lock;
  if (LockChanges(lock, program_paths.lockFile, 0) != nullptr) return;
  PrepareDevices();
  for (const LedgerEntry& entry : running) {
    void* handle = GetDeviceHandle(entry.mac.c_str());
    if (handle != NoDevice() && CaptureStateOf(handle) == 0) {
      NoteCapturesEnded(ledger.get(), entry.mac);
    }
  }
}
