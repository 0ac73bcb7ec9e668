#include "helper/config/config_store.h"

#include <sqlite3.h>

#include <optional>
#include <string>

#include "helper/capture_settings/capture_settings.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/memory_budget.h"
#include "shared/paths.h"
#include "shared/sqlite_failure.h"
#include "shared/statement.h"

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
// checkpointed (DatabaseUse).

// What the records hold when the table has no 'default' row: inline on,
// everything else off or empty.
CaptureSettings DefaultSettings() {
  CaptureSettings settings;
  settings.inlineMode = true;
  return settings;
}

Status SettingsFromColumns(sqlite3_stmt* statement, CaptureSettings& settings) {
  const unsigned char* destination = sqlite3_column_text(statement, 0);
  // A text SQLite could not allocate reads as NULL, as a NULL column does.
  sqlite3* db = sqlite3_db_handle(statement);
  if (destination == nullptr && IsOutOfMemory(db, sqlite3_errcode(db))) {
    return SqliteFailed(db, sqlite3_errcode(db), Message::kCannotLoadConfig);
  }
  settings = {};
  settings.destination = destination != nullptr ? reinterpret_cast<const char*>(destination) : "";
  SetDiskDumpNumbers(settings, static_cast<uint64_t>(sqlite3_column_int(statement, 1)),
                     static_cast<uint64_t>(sqlite3_column_int(statement, 2)),
                     static_cast<uint64_t>(sqlite3_column_int64(statement, 3)),
                     static_cast<uint64_t>(sqlite3_column_int64(statement, 4)));
  SetFeatureNumbers(settings, static_cast<uint64_t>(sqlite3_column_int(statement, 5)),
                    static_cast<uint64_t>(sqlite3_column_int(statement, 6)));
  return {};
}

// Whether a read that found no row can be believed. A damaged file can hide
// the row without any error: a broken index finds nothing, and SQLite reads
// a page cut off by truncation as zeros. So the file must pass SQLite's
// structure check, and a scan of the table without the index must find no
// row either. Both are cheap on this one-row file, and run only when the row
// is missing. `missing` says so; a check that cannot run fails.
Status RowIsReallyMissing(sqlite3* db, bool& missing) {
  constexpr Message kFailed = Message::kCannotLoadConfig;
  missing = false;
  Statement check;
  bool row = false;
  Status checked = Prepare(db, "PRAGMA quick_check", kFailed, check);
  if (checked.ok()) checked = Step(check.get(), kFailed, row);
  if (!checked.ok() || !row || TextColumn(check.get(), 0) != "ok") return checked;
  check.reset();
  Statement scan;
  Status scanned =
      Prepare(db, "SELECT 1 FROM config NOT INDEXED WHERE mac = 'default'", kFailed, scan);
  if (scanned.ok()) scanned = Step(scan.get(), kFailed, row);
  missing = scanned.ok() && !row;
  return scanned;
}

// The row, or the defaults when there is none, into `settings`; a step that
// fails, or a row missing from a file that fails its checks, fails: a locked
// or damaged database is not the stored configuration, and showing the
// defaults instead would invite saving them over it.
Status ReadRow(sqlite3* db, sqlite3_stmt* statement, CaptureSettings& settings) {
  constexpr Message kFailed = Message::kCannotLoadConfig;
  bool row = false;
  if (Status stepped = Step(statement, kFailed, row); !stepped.ok()) return stepped;
  if (row) return SettingsFromColumns(statement, settings);
  bool missing = false;
  if (Status checked = RowIsReallyMissing(db, missing); !checked.ok()) return checked;
  if (!missing) {
    // A damaged file that hid the row leaves no error of SQLite's behind.
    return Failed(kFailed, std::string("sqlite: no row found, and the file fails its check or a "
                                       "scan finds the row at ") +
                               sqlite3_db_filename(db, "main"));
  }
  settings = DefaultSettings();
  return {};
}

}  // namespace

Status LoadSettings(const char* dbPath, CaptureSettings& settings) {
  constexpr Message kFailed = Message::kCannotLoadConfig;
  Connection db;
  Statement statement;
  CaptureSettings row;
  Status loaded = OpenDatabase(dbPath, DatabaseUse::kReader, kFailed, db);
  if (loaded.ok()) loaded = Prepare(db.get(), kReadStatement, kFailed, statement);
  if (loaded.ok()) loaded = ReadRow(db.get(), statement.get(), row);
  if (loaded.ok()) settings = std::move(row);
  return loaded;
}

Status StoreSettings(const char* dbPath, const CaptureSettings& settings) {
  constexpr Message kFailed = Message::kCannotSaveConfig;
  if (settings.destination.size() > kMaxStoredDestination) {
    return Failed(kFailed, "the destination cannot be stored: it is too long");
  }
  Connection db;
  Status stored = OpenDatabase(dbPath, DatabaseUse::kWriter, kFailed, db);
  // The slicing flag is not stored: a slicing value of 0 stands for off.
  if (stored.ok()) {
    stored =
        Execute(db.get(), kFailed, kWriteStatement, settings.destination, settings.loop ? 1 : 0,
                static_cast<int32_t>(settings.count), static_cast<int64_t>(settings.size),
                settings.duration, settings.inlineMode ? 1 : 0, settings.sliceBytes);
  }
  // The update also completes when no row matches; nothing stored is a
  // failure, not a success.
  if (stored.ok() && sqlite3_changes(db.get()) == 0) {
    return SqliteFailed(db.get(), SQLITE_OK, kFailed);
  }
  return stored;
}

// The wrappers for outside code keep their own form: -1 with the cause
// recorded for the failure log, and memory that ran out thrown, as the
// program's own allocations are.
namespace {

int Reported(const Status& status) {
  if (status.ok()) return 0;
  RecordFailureCause(status.cause);
  if (status.message == Message::kNotEnoughMemory) ThrowOutOfMemory();
  return -1;
}

}  // namespace

int LoadConfiguration(const char* dbPath, VelorantisAPIDeviceFeatures& features,
                      VelorantisAPIDiskDumpConfig& config) {
  CaptureSettings settings;
  if (Reported(LoadSettings(dbPath, settings)) != 0) return -1;
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
  return Reported(stored);
}

Status ConfiguredFolder(std::string& folder) {
  folder.clear();
  CaptureSettings settings;
  const Status loaded = LoadSettings(program_paths.configDb, settings);
  // A configuration that cannot be read names no folder.
  if (!loaded.ok()) return loaded.message == Message::kNotEnoughMemory ? loaded : Status{};
  if (!settings.destination.empty()) folder = settings.destination + "/";
  return {};
}
