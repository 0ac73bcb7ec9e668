#include "helper/config/config_store.h"

#include <sqlite3.h>

#include <optional>
#include <string>

#include "helper/frontend/database_failure.h"
#include "helper/frontend/failure_log.h"
#include "helper/records/capture_records.h"
#include "shared/paths.h"
#include "shared/sqlite_handles.h"

namespace {

constexpr char kReadStatement[] =
    "SELECT destination, loop, count, size, duration, inline, slicing FROM config WHERE mac = "
    "'default'";
constexpr char kWriteStatement[] =
    "UPDATE config SET destination = ?, loop = ?, count = ?, size = ?, duration = ?, inline = ?, "
    "slicing = ? WHERE mac = 'default'";

// The database in its write-ahead-log mode never makes a read wait for a
// save, nor a save for reads. But every request is a new process, and the
// first connection after a quiet moment rebuilds the log's shared index
// under a lock; for that moment the others are refused at once, and without
// a wait one getconfig in eight failed beside a burst of saves. Readers do
// not checkpoint as they close: a reader that met the lock a closing
// checkpoint takes while a save ran failed after its whole wait, about one
// getconfig in four thousand. The saves' own connections keep the log
// checkpointed.
Status OpenConfigDatabase(const char* dbPath, DatabaseUse use, Message failed, Connection& db) {
  OpenFailure failure;
  db = OpenDatabase(dbPath, use, &failure);
  return db ? Status{} : OpenFailed(failed, dbPath, failure);
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

Status LoadSettings(const char* dbPath, CaptureSettings& settings) {
  constexpr Message kFailed = Message::kCannotLoadConfig;
  Connection db;
  if (Status opened = OpenConfigDatabase(dbPath, DatabaseUse::kReader, kFailed, db); !opened.ok()) {
    return opened;
  }
  Statement statement = PrepareOrThrow(db.get(), kReadStatement);
  if (!statement) return DatabaseFailed(kFailed, db.get(), dbPath);
  std::optional<CaptureSettings> row = StepForRow(db.get(), statement.get());
  if (!row) {
    // A damaged file that hid the row leaves no error of SQLite's behind.
    if (sqlite3_errcode(db.get()) == SQLITE_OK) {
      return Failed(kFailed, std::string("sqlite: no row found, and the file fails its check or a "
                                         "scan finds the row at ") +
                                 dbPath);
    }
    return DatabaseFailed(kFailed, db.get(), dbPath);
  }
  settings = std::move(*row);
  return {};
}

Status StoreSettings(const char* dbPath, const CaptureSettings& settings) {
  constexpr Message kFailed = Message::kCannotSaveConfig;
  if (settings.destination.size() > kMaxStoredDestination) {
    return Failed(kFailed, "the destination cannot be stored: it is too long");
  }
  Connection db;
  if (Status opened = OpenConfigDatabase(dbPath, DatabaseUse::kWriter, kFailed, db); !opened.ok()) {
    return opened;
  }
  Statement statement = PrepareOrThrow(db.get(), kWriteStatement);
  if (!statement || !BindSettings(statement.get(), settings)) {
    return DatabaseFailed(kFailed, db.get(), dbPath);
  }
  const int rc = sqlite3_step(statement.get());
  ThrowIfOutOfMemory(db.get(), rc);
  // The update also completes when no row matches; nothing stored is a
  // failure, not a success.
  if (rc != SQLITE_DONE || sqlite3_changes(db.get()) == 0) {
    return DatabaseFailed(kFailed, db.get(), dbPath);
  }
  return {};
}

int LoadConfiguration(const char* dbPath, VelorantisAPIDeviceFeatures& features,
                      VelorantisAPIDiskDumpConfig& config) {
  CaptureSettings settings;
  const Status loaded = LoadSettings(dbPath, settings);
  if (!loaded.ok()) {
    RecordFailureCause(loaded.cause);
    return -1;
  }
  FillRecords(settings, features, config);
  return 0;
}

int StoreConfiguration(const char* dbPath, const VelorantisAPIDeviceFeatures& features,
                       const VelorantisAPIDiskDumpConfig& config) {
  const std::optional<CaptureSettings> settings = SettingsOf(features, config);
  const Status stored = settings ? StoreSettings(dbPath, *settings)
                                 : Failed(Message::kCannotSaveConfig,
                                          "the destination cannot be stored: it holds a "
                                          "character that is no byte");
  if (stored.ok()) return 0;
  RecordFailureCause(stored.cause);
  return -1;
}

std::string ConfiguredFolder() {
  CaptureSettings settings;
  if (!LoadSettings(program_paths.configDb, settings).ok() || settings.destination.empty()) {
    return "";
  }
  return settings.destination + "/";
}
