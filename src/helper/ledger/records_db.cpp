#include "helper/ledger/records_db.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "helper/frontend/database_failure.h"
#include "helper/ledger/file_identity.h"
#include "helper/ledger/records_schema.h"
#include "shared/paths.h"

namespace {

constexpr char kRecordsFileName[] = "velorantis-records.db";

constexpr char kHasOldLedger[] =
    "SELECT 1 FROM old.sqlite_schema WHERE type = 'table' AND name = 'captures'";
constexpr char kMoveOldLedger[] =
    "INSERT OR IGNORE INTO captures (id, mac, file, loop, count, size, duration, inline, "
    "slicing, state, started, startedby, startedfrom, ended, stoppedby, stoppedfrom, error) "
    "SELECT id, mac, file, loop, count, size, duration, inline, slicing, state, started, "
    "startedby, startedfrom, ended, stoppedby, stoppedfrom, error FROM old.captures";
constexpr char kMovedFiles[] = "SELECT id, file FROM captures WHERE state != 'failed'";
constexpr char kPinFile[] =
    "UPDATE captures SET filedev = ?2, fileino = ?3, filesize = ?4, filemtime = ?5 WHERE id = ?1";
constexpr char kMovedMissing[] =
    "UPDATE captures SET state = 'missing' WHERE id = ?1 AND state IN ('stopped', 'ended', 'gone')";

// The old ledger's rows name their files by path only: each one is pinned
// to the file that path holds now (a running one's size and time are not
// compared while it runs, and are taken anew when it ends); an ended one
// whose file is not there has none, whatever comes to that path later.
void PinMovedFiles(sqlite3* db) {
  Statement select = Prepare(db, kMovedFiles);
  Statement pin = Prepare(db, kPinFile);
  Statement missing = Prepare(db, kMovedMissing);
  if (!select || !pin || !missing) return;
  while (sqlite3_step(select.get()) == SQLITE_ROW) {
    const auto* file = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 1));
    const std::optional<FileIdentity> identity =
        file != nullptr ? RegularFileAt(file) : std::nullopt;
    if (!identity) {
      sqlite3_bind_int64(missing.get(), 1, sqlite3_column_int64(select.get(), 0));
      sqlite3_step(missing.get());
      sqlite3_reset(missing.get());
      continue;
    }
    sqlite3_bind_int64(pin.get(), 1, sqlite3_column_int64(select.get(), 0));
    int index = 2;
    for (int64_t value : {identity->device, identity->inode, identity->size, identity->modified}) {
      sqlite3_bind_int64(pin.get(), index++, value);
    }
    sqlite3_step(pin.get());
    sqlite3_reset(pin.get());
  }
}

// Moves the configuration database's ledger, if it has one, into the new
// file `db`; `moved` says whether there was one. False with `failure` filled
// when the move failed.
bool MoveOldLedger(sqlite3* db, bool& moved, OpenFailure& failure) {
  moved = false;
  struct stat info {};
  if (stat(program_paths.configDb, &info) != 0) return true;
  Statement attach = Prepare(db, "ATTACH DATABASE ?1 AS old");
  if (!attach ||
      sqlite3_bind_text(attach.get(), 1, program_paths.configDb, -1, SQLITE_STATIC) != SQLITE_OK ||
      sqlite3_step(attach.get()) != SQLITE_DONE) {
    failure = FailureOf(db, SQLITE_ERROR);
    return false;
  }
  attach.reset();
  Statement probe = Prepare(db, kHasOldLedger);
  const int found = probe ? sqlite3_step(probe.get()) : SQLITE_ERROR;
  probe.reset();
  bool ok = found == SQLITE_ROW || found == SQLITE_DONE;
  if (found == SQLITE_ROW) {
    ok = Execute(db, "BEGIN") && Execute(db, kMoveOldLedger) && Execute(db, "COMMIT");
    if (ok) PinMovedFiles(db);
    moved = ok;
  }
  if (!ok) failure = FailureOf(db, SQLITE_ERROR);
  return Execute(db, "DETACH DATABASE old") && ok;
}

// The new file takes the configuration database's owner and permission
// bits, as the installation gave them: the web server's account must write
// it as it writes the configuration.
void TakeOwnerOfConfiguration(const std::string& path) {
  struct stat config {};
  if (stat(program_paths.configDb, &config) != 0) return;
  chmod(path.c_str(), config.st_mode & 0666);
  if (geteuid() == 0 && chown(path.c_str(), config.st_uid, config.st_gid) != 0) {
    // Left to root: the server's account then cannot write it, which its
    // first start reports.
  }
}

// The whole new file at `building`: its schema and the moved ledger.
bool BuildRecords(const std::string& building, bool& moved, OpenFailure& failure) {
  Connection db = OpenDatabase(building.c_str(), DatabaseUse::kCreator, &failure);
  if (!db) return false;
  TakeOwnerOfConfiguration(building);
  if (!Execute(db.get(), kRecordsSchema)) {
    failure = FailureOf(db.get(), SQLITE_ERROR);
    return false;
  }
  return MoveOldLedger(db.get(), moved, failure);
}

// Builds the file under a name of this process's, then links it into place:
// a second process creating it at the same moment either loses the link
// and uses the winner's file, or wins; nobody sees half a schema.
bool CreateRecords(const std::string& path, OpenFailure& failure) {
  const std::string building = path + ".new-" + std::to_string(getpid());
  unlink(building.c_str());
  bool moved = false;
  const bool built = BuildRecords(building, moved, failure);
  const int linkError = !built || link(building.c_str(), path.c_str()) == 0 ? 0 : errno;
  unlink(building.c_str());
  if (!built) return false;
  if (linkError == EEXIST) return true;
  if (linkError != 0) {
    failure = {SQLITE_CANTOPEN, linkError};
    return false;
  }
  if (moved) {
    // The old table would only cost every configuration read its parse.
    Connection config = OpenDatabase(program_paths.configDb, DatabaseUse::kWriter);
    if (config) Execute(config.get(), "DROP TABLE IF EXISTS captures");
  }
  return true;
}

// The version records.sql sets, and the columns each version added to the
// captures of a file of the version before (tables the schema creates).
constexpr int kRecordsVersion = 5;
struct AddedColumn {
  int version;
  const char* sql;
  int tableSince = 1;  // the version that created the column's table
};
constexpr AddedColumn kAddedColumns[] = {
    {2, "ALTER TABLE captures ADD COLUMN pinned INTEGER NOT NULL DEFAULT 0"},
    {2, "ALTER TABLE captures ADD COLUMN deleted INTEGER NOT NULL DEFAULT 0"},
    {2, "ALTER TABLE captures ADD COLUMN deletedby TEXT NOT NULL DEFAULT ''"},
    {2, "ALTER TABLE captures ADD COLUMN freed INTEGER NOT NULL DEFAULT 0"},
    {3, "ALTER TABLE captures ADD COLUMN firstpacket INTEGER NOT NULL DEFAULT -1"},
    {3, "ALTER TABLE captures ADD COLUMN lastpacket INTEGER NOT NULL DEFAULT -1"},
    {4, "ALTER TABLE audit ADD COLUMN byterange TEXT NOT NULL DEFAULT ''", 3},
    {5, "ALTER TABLE audit ADD COLUMN filter TEXT NOT NULL DEFAULT ''", 3},
};

int VersionOf(sqlite3* db) {
  Statement version = Prepare(db, "PRAGMA user_version");
  return version && sqlite3_step(version.get()) == SQLITE_ROW ? sqlite3_column_int(version.get(), 0)
                                                              : -1;
}

// A file a later version made: its tables may mean what this program does
// not know, so it is neither read nor written.
bool Newer(int version, OpenFailure& failure) {
  if (version <= kRecordsVersion) return false;
  failure = {SQLITE_ERROR, 0, version};
  return true;
}

// Brings a file an earlier version made up to today's schema, in one write
// transaction (a second process finds it done). False with `failure`
// filled when it cannot, or when a later version made the file.
bool Upgrade(sqlite3* db, OpenFailure& failure) {
  const int found = VersionOf(db);
  if (Newer(found, failure)) return false;
  if (found == kRecordsVersion) return true;
  bool done = Execute(db, "BEGIN IMMEDIATE");
  const int version = done ? VersionOf(db) : kRecordsVersion;
  if (Newer(version, failure)) {
    Execute(db, "ROLLBACK");
    return false;
  }
  for (const AddedColumn& column : kAddedColumns) {
    if (column.tableSince <= version && version < column.version) {
      done = done && Execute(db, column.sql);
    }
  }
  if (version < kRecordsVersion) done = done && Execute(db, kRecordsSchema);
  done = done && Execute(db, "COMMIT");
  if (done) return true;
  failure = FailureOf(db, SQLITE_ERROR);
  Execute(db, "ROLLBACK");
  return false;
}

}  // namespace

std::string RecordsDatabasePath() {
  if (program_paths.recordsDb != nullptr && *program_paths.recordsDb != '\0') {
    return program_paths.recordsDb;
  }
  const std::string config = program_paths.configDb;
  const size_t slash = config.rfind('/');
  return slash == std::string::npos ? kRecordsFileName
                                    : config.substr(0, slash + 1) + kRecordsFileName;
}

Connection OpenRecords(DatabaseUse use, OpenFailure& failure) {
  const std::string path = RecordsDatabasePath();
  Connection db = OpenDatabase(path.c_str(), use, &failure);
  struct stat info {};
  if (!db && lstat(path.c_str(), &info) != 0 && errno == ENOENT && CreateRecords(path, failure)) {
    db = OpenDatabase(path.c_str(), use, &failure);
  }
  if (db && !Upgrade(db.get(), failure)) db.reset();
  return db;
}

Status OpenRecordsStep(DatabaseUse use, Message failed, Connection& ledger) {
  OpenFailure failure;
  ledger = OpenRecords(use, failure);
  return ledger ? Status{} : OpenFailed(failed, RecordsDatabasePath().c_str(), failure);
}

Status RecordsFailed(Message failed, sqlite3* ledger) {
  return DatabaseFailed(failed, ledger, RecordsDatabasePath().c_str());
}
