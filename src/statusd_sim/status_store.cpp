#include "status_store.h"

#include <cstdio>
#include <cstring>

#include "schema_text.h"
#include "shared/statement.h"
#include "shared/status_db.h"
#include "shared/transaction.h"
#include "sql_report.h"
#include "synthetic_stats.h"

namespace {

constexpr char kUpsertDevice[] =
    "INSERT INTO device (mac, model) VALUES (?1, ?2) "
    "ON CONFLICT (mac) DO UPDATE SET model = excluded.model";

// The capture's figures as the library reports them.
constexpr char kUpsertCapture[] =
    "INSERT INTO capture (device, status, error, cacheused, maxcache, written, dropped) "
    "VALUES (?1, ?2, ?6, ?3, ?4, ?5, 0) "
    "ON CONFLICT (device) DO UPDATE SET status = excluded.status, error = excluded.error, "
    "cacheused = excluded.cacheused, maxcache = excluded.maxcache, written = excluded.written";

bool SwitchToWal(sqlite3* db) {
  Statement statement;
  bool row = false;
  if (!Prepare(db, "PRAGMA journal_mode = WAL", kStoreFailed, statement).ok() ||
      !Step(statement.get(), kStoreFailed, row).ok() || !row) {
    return ReportSqlFailure(db, "switching to WAL");
  }
  const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
  if (mode != nullptr && strcmp(mode, "wal") == 0) return true;
  return ReportSqlFailure(db, "switching to WAL (journal mode unchanged)");
}

// The device's id, its row inserted first when new.
bool StoreDevice(sqlite3* db, const ScannedDevice& device, int64_t& id) {
  Statement upsert;
  if (!Prepare(db, kUpsertDevice, kStoreFailed, upsert).ok())
    return ReportSqlFailure(db, "storing a device");
  if (sqlite3_bind_text(upsert.get(), 1, device.mac.c_str(), -1, SQLITE_STATIC) != SQLITE_OK ||
      sqlite3_bind_text(upsert.get(), 2, device.model.c_str(), -1, SQLITE_STATIC) != SQLITE_OK) {
    return ReportSqlFailure(db, "storing a device");
  }
  if (!StepToEnd(db, upsert.get(), "storing a device")) return false;
  return GetDeviceId(db, device.mac.c_str(), id).ok() ||
         ReportSqlFailure(db, "reading a device id");
}

bool StoreCapture(sqlite3* db, int64_t deviceId, const ScannedDevice& device) {
  Statement upsert;
  if (!Prepare(db, kUpsertCapture, kStoreFailed, upsert).ok())
    return ReportSqlFailure(db, "storing a capture state");
  const int64_t values[] = {deviceId,        device.capturing ? 1 : 0, device.cacheused,
                            device.maxcache, device.written,           device.error};
  if (!BindNumbers(upsert.get(), values)) return ReportSqlFailure(db, "storing a capture state");
  return StepToEnd(db, upsert.get(), "storing a capture state");
}

bool WriteDevices(sqlite3* db, const std::vector<ScannedDevice>& devices, int64_t now) {
  for (const ScannedDevice& device : devices) {
    int64_t id = -1;
    if (!StoreDevice(db, device, id) || !StoreCapture(db, id, device) ||
        !AppendSamples(db, id, now)) {
      return false;
    }
  }
  return true;
}

}  // namespace

// The daemon is the only writer; its wait for a lock covers the moments a
// reader holds one it must not break, such as a checkpoint or a test's own
// connection.
Connection OpenStore(const std::string& path) {
  Connection db;
  if (Status opened = OpenDatabase(path.c_str(), DatabaseUse::kCreator, kStoreFailed, db);
      !opened.ok()) {
    std::fprintf(stderr, "velorantis-statusd-sim: %s: %s\n", path.c_str(), opened.cause.c_str());
    return nullptr;
  }
  if (sqlite3_exec(db.get(), kStatusSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
    ReportSqlFailure(db.get(), "creating the tables");
    return nullptr;
  }
  if (!SwitchToWal(db.get())) return nullptr;
  return db;
}

bool WriteStatusRound(sqlite3* db, const std::vector<ScannedDevice>& devices, int64_t now) {
  // A commit that fails (a reader's lock outlasting the busy timeout) is
  // rolled back: the next round must begin afresh.
  TransactionStep step = TransactionStep::kBegin;
  const Status written = InTransaction(db, step, kStoreFailed, [&] {
    step = TransactionStep::kCommit;
    return WriteDevices(db, devices, now) ? Status{} : Failed(kStoreFailed);
  });
  // The rows' own failures are reported already; the transaction's leave
  // the line the daemon's log readers know.
  if (!written.ok() && !written.cause.empty()) LogTransactionFailure(step, written);
  return written.ok();
}
