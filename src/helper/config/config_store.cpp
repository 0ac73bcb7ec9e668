#include "helper/config/config_store.h"

#include <sqlite3.h>

#include <optional>
#include <string>

#include "helper/frontend/failure_log.h"
#include "helper/frontend/memory_budget.h"
#include "helper/records/capture_records.h"
#include "shared/sqlite_handles.h"

namespace {

constexpr char kReadStatement[] =
    "SELECT destination, loop, count, size, duration, inline, slicing FROM config WHERE mac = "
    "'default'";
constexpr char kWriteStatement[] =
    "UPDATE config SET destination = ?, loop = ?, count = ?, size = ?, duration = ?, inline = ?, "
    "slicing = ? WHERE mac = 'default'";

// SQLite's allocations fail like the program's own: the request answers
// "Not enough memory", not that the database failed, which would send the
// user after a fault the file does not have.
void ThrowIfOutOfMemory(sqlite3* db, int rc) {
  if (IsOutOfMemory(db, rc)) ThrowOutOfMemory();
}

// The database in its write-ahead-log mode never makes a read wait for a
// save, nor a save for reads. But every request is a new process, and the
// first connection after a quiet moment rebuilds the log's shared index
// under a lock; for that moment the others are refused at once, and without
// a wait one getconfig in eight failed beside a burst of saves. Readers do
// not checkpoint as they close: a reader that met the lock a closing
// checkpoint takes while a save ran failed after its whole wait, about one
// getconfig in four thousand. The saves' own connections keep the log
// checkpointed.
Connection OpenConfigDatabase(const char* dbPath, DatabaseUse use) {
  OpenFailure failure;
  Connection db = OpenDatabase(dbPath, use, &failure);
  if (!db) {
    ThrowIfOutOfMemory(nullptr, failure.code);
    RecordSqliteOpenFailure(dbPath, failure.code, failure.systemErrno);
  }
  return db;
}

// The store's failures all answer -1; the log keeps which one it was.
int Failed(sqlite3* db, const char* dbPath) {
  RecordSqliteFailure(db, dbPath);
  return -1;
}

// Prepare, failing like Prepare, but out of memory like ThrowIfOutOfMemory.
Statement PrepareOrThrow(sqlite3* db, const char* sql) {
  Statement statement = Prepare(db, sql);
  if (!statement) ThrowIfOutOfMemory(db, sqlite3_errcode(db));
  return statement;
}

// What the records hold when the table has no 'default' row: inline on,
// everything else off or empty.
CaptureSettings DefaultSettings() {
  CaptureSettings settings;
  settings.inlineMode = true;
  return settings;
}

CaptureSettings SettingsFromColumns(sqlite3_stmt* statement) {
  const unsigned char* destination = sqlite3_column_text(statement, 0);
  // A text SQLite could not allocate reads as NULL, as a NULL column does.
  sqlite3* db = sqlite3_db_handle(statement);
  if (destination == nullptr) ThrowIfOutOfMemory(db, sqlite3_errcode(db));
  CaptureSettings settings;
  settings.destination = destination != nullptr ? reinterpret_cast<const char*>(destination) : "";
  SetDiskDumpNumbers(settings, static_cast<uint64_t>(sqlite3_column_int(statement, 1)),
                     static_cast<uint64_t>(sqlite3_column_int(statement, 2)),
                     static_cast<uint64_t>(sqlite3_column_int64(statement, 3)),
                     static_cast<uint64_t>(sqlite3_column_int64(statement, 4)));
  SetFeatureNumbers(settings, static_cast<uint64_t>(sqlite3_column_int(statement, 5)),
                    static_cast<uint64_t>(sqlite3_column_int(statement, 6)));
  return settings;
}

// Whether a read that found no row can be believed. A damaged file can hide
// the row without any error: a broken index finds nothing, and SQLite reads
// a page cut off by truncation as zeros. So the file must pass SQLite's
// structure check, and a scan of the table without the index must find no
// row either. Both are cheap on this one-row file, and run only when the row
// is missing.
bool RowIsReallyMissing(sqlite3* db) {
  Statement check = PrepareOrThrow(db, "PRAGMA quick_check");
  if (!check) return false;
  const int checked = sqlite3_step(check.get());
  ThrowIfOutOfMemory(db, checked);
  if (checked != SQLITE_ROW) return false;
  const unsigned char* verdict = sqlite3_column_text(check.get(), 0);
  if (verdict == nullptr || std::string(reinterpret_cast<const char*>(verdict)) != "ok") {
    return false;
  }
  check.reset();
  Statement scan = PrepareOrThrow(db, "SELECT 1 FROM config NOT INDEXED WHERE mac = 'default'");
  if (!scan) return false;
  const int scanned = sqlite3_step(scan.get());
  ThrowIfOutOfMemory(db, scanned);
  return scanned == SQLITE_DONE;
}

// The row, the defaults when there is none, nullopt when stepping fails: a
// locked or damaged database is not the stored configuration, and showing the
// defaults instead would invite saving them over it.
std::optional<CaptureSettings> StepForRow(sqlite3* db, sqlite3_stmt* statement) {
  const int rc = sqlite3_step(statement);
  switch (rc) {
    case SQLITE_ROW:
      return SettingsFromColumns(statement);
    case SQLITE_DONE:
      if (RowIsReallyMissing(db)) return DefaultSettings();
      return std::nullopt;
    default:
      ThrowIfOutOfMemory(db, rc);
      return std::nullopt;
  }
}

bool BindSettings(sqlite3_stmt* statement, const CaptureSettings& settings) {
  // The slicing flag is not stored: a slicing value of 0 stands for off.
  return sqlite3_bind_text(statement, 1, settings.destination.c_str(), -1, SQLITE_STATIC) ==
             SQLITE_OK &&
         sqlite3_bind_int(statement, 2, settings.loop ? 1 : 0) == SQLITE_OK &&
         sqlite3_bind_int(statement, 3, static_cast<int32_t>(settings.count)) == SQLITE_OK &&
         sqlite3_bind_int64(statement, 4, static_cast<sqlite3_int64>(settings.size)) == SQLITE_OK &&
         sqlite3_bind_int64(statement, 5, settings.duration) == SQLITE_OK &&
         sqlite3_bind_int(statement, 6, settings.inlineMode ? 1 : 0) == SQLITE_OK &&
         sqlite3_bind_int(statement, 7, settings.sliceBytes) == SQLITE_OK;
}

}  // namespace

int LoadConfiguration(const char* dbPath, VelorantisAPIDeviceFeatures& features,
                      VelorantisAPIDiskDumpConfig& config) {
  Connection db = OpenConfigDatabase(dbPath, DatabaseUse::kReader);
  if (!db) return -1;
  Statement statement = PrepareOrThrow(db.get(), kReadStatement);
  if (!statement) return Failed(db.get(), dbPath);
  const std::optional<CaptureSettings> settings = StepForRow(db.get(), statement.get());
  if (!settings) {
    // A damaged file that hid the row leaves no error of SQLite's behind.
    if (sqlite3_errcode(db.get()) == SQLITE_OK) {
      RecordFailureCause(std::string("sqlite: no row found, and the file fails its check or a "
                                     "scan finds the row at ") +
                         dbPath);
    }
    return Failed(db.get(), dbPath);
  }
  FillRecords(*settings, features, config);
  return 0;
}

int StoreConfiguration(const char* dbPath, const VelorantisAPIDeviceFeatures& features,
                       const VelorantisAPIDiskDumpConfig& config) {
  // Bound without a copy, so it is declared first and outlives the statement.
  std::optional<CaptureSettings> settings;
  Connection db = OpenConfigDatabase(dbPath, DatabaseUse::kWriter);
  if (!db) return -1;
  Statement statement = PrepareOrThrow(db.get(), kWriteStatement);
  if (!statement) return Failed(db.get(), dbPath);
  settings = SettingsOf(features, config);
  if (!settings || settings->destination.size() > kMaxStoredDestination) {
    RecordFailureCause(
        "the destination cannot be stored: it does not convert to bytes or is too long");
    return -1;
  }
  if (!BindSettings(statement.get(), *settings)) {
    ThrowIfOutOfMemory(db.get(), sqlite3_errcode(db.get()));
    return Failed(db.get(), dbPath);
  }
  const int rc = sqlite3_step(statement.get());
  ThrowIfOutOfMemory(db.get(), rc);
  if (rc != SQLITE_DONE) return Failed(db.get(), dbPath);
  // The update also completes when no row matches; nothing stored is a
  // failure, not a success.
  return sqlite3_changes(db.get()) > 0 ? 0 : Failed(db.get(), dbPath);
}
