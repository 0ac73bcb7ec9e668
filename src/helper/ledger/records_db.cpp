#include "helper/ledger/records_db.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
constexpr char kMovedFiles[] = "SELECT id, file, state FROM captures WHERE state != 'failed'";
constexpr char kPinFile[] =
    "UPDATE captures SET filedev = ?2, fileino = ?3, filesize = ?4, filemtime = ?5 WHERE id = ?1";

void NoteFailure(OpenFailure& failure, sqlite3* db, int rc) {
  failure.code = db != nullptr ? sqlite3_extended_errcode(db) : rc;
  failure.systemErrno = db != nullptr ? sqlite3_system_errno(db) : 0;
}

void NoteErrno(OpenFailure& failure) {
  failure.code = SQLITE_CANTOPEN;
  failure.systemErrno = errno;
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The old ledger's rows name their files by path only: each one that ended
// is pinned to the file that path holds now, the running ones to its inode.
void PinMovedFiles(sqlite3* db) {
  Statement select = Prepare(db, kMovedFiles);
  Statement pin = Prepare(db, kPinFile);
  if (!select || !pin) return;
  while (sqlite3_step(select.get()) == SQLITE_ROW) {
    const auto* file = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 1));
    const auto* state = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 2));
    if (file == nullptr || state == nullptr) continue;
    std::optional<FileIdentity> identity = RegularFileAt(file);
    if (!identity) continue;
    if (std::string_view(state) == "running") identity->size = identity->modified = -1;
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
// file `db`. Returns whether there was one to move; false with `failure`
// filled when the move failed.
bool MoveOldLedger(sqlite3* db, bool& moved, OpenFailure& failure) {
  moved = false;
  struct stat info {};
  if (stat(program_paths.configDb, &info) != 0) return true;
  Statement attach = Prepare(db, "ATTACH DATABASE ?1 AS old");
  if (!attach ||
      sqlite3_bind_text(attach.get(), 1, program_paths.configDb, -1, SQLITE_STATIC) != SQLITE_OK ||
      sqlite3_step(attach.get()) != SQLITE_DONE) {
    NoteFailure(failure, db, SQLITE_ERROR);
    return false;
  }
  attach.reset();
  Statement probe = Prepare(db, kHasOldLedger);
  const int found = probe ? sqlite3_step(probe.get()) : SQLITE_ERROR;
  probe.reset();
  bool ok = found == SQLITE_ROW || found == SQLITE_DONE;
  if (found == SQLITE_ROW) {
    ok = Exec(db, "BEGIN") && Exec(db, kMoveOldLedger) && Exec(db, "COMMIT");
    if (ok) PinMovedFiles(db);
    moved = ok;
  }
  if (!ok) NoteFailure(failure, db, SQLITE_ERROR);
  return Exec(db, "DETACH DATABASE old") && ok;
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

// Builds the file under a name of this process's, then links it into place:
// a second process creating it at the same moment either loses the link
// and uses the winner's file, or wins; nobody sees half a schema.
bool CreateRecords(const std::string& path, OpenFailure& failure) {
  const std::string building = path + ".new-" + std::to_string(getpid());
  unlink(building.c_str());
  bool moved = false;
  {
    Connection db = OpenDatabase(building.c_str(), DatabaseUse::kCreator, &failure);
    if (!db) {
      unlink(building.c_str());
      return false;
    }
    TakeOwnerOfConfiguration(building);
    if (!Exec(db.get(), kRecordsSchema)) {
      NoteFailure(failure, db.get(), SQLITE_ERROR);
      db.reset();
      unlink(building.c_str());
      return false;
    }
    if (!MoveOldLedger(db.get(), moved, failure)) {
      db.reset();
      unlink(building.c_str());
      return false;
    }
  }
  const bool linked = link(building.c_str(), path.c_str()) == 0;
  if (!linked && errno != EEXIST) NoteErrno(failure);
  const bool ready = linked || errno == EEXIST;
  unlink(building.c_str());
  if (linked && moved) {
    // The old table would only cost every configuration read its parse.
    Connection config = OpenDatabase(program_paths.configDb, DatabaseUse::kWriter);
    if (config) Exec(config.get(), "DROP TABLE IF EXISTS captures");
  }
  return ready;
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
  if (db || lstat(path.c_str(), &info) == 0 || errno != ENOENT) return db;
  if (!CreateRecords(path, failure)) return db;
  return OpenDatabase(path.c_str(), use, &failure);
}
