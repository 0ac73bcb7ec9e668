#include "helper/records_db/records_db.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "helper/capture_files/file_identity.h"
#include "helper/frontend/failure_log.h"
#include "helper/records_db/records_schema.h"
#include "shared/paths.h"
#include "shared/statement.h"
#include "shared/transaction.h"

namespace {

constexpr Message kFailed = Message::kLedgerUnavailable;

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
Status PinMovedFiles(sqlite3* db) {
  Statement select;
  if (Status prepared = Prepare(db, kMovedFiles, kFailed, select); !prepared.ok()) return prepared;
  Status pinned;
  Status listed = ForEachRow(select.get(), kFailed, [&](sqlite3_stmt* row) {
    if (!pinned.ok()) return;
    const int64_t id = sqlite3_column_int64(row, 0);
    const std::optional<FileIdentity> identity = RegularFileAt(TextColumn(row, 1));
    pinned = identity ? Execute(db, kFailed, kPinFile, id, identity->device, identity->inode,
                                identity->size, identity->modified)
                      : Execute(db, kFailed, kMovedMissing, id);
  });
  return pinned.ok() ? listed : pinned;
}

// Moves the configuration database's ledger, if it has one, into the new
// file `db`; `moved` says whether there was one.
Status MoveOldLedger(sqlite3* db, bool& moved) {
  moved = false;
  struct stat info {};
  if (stat(program_paths.configDb, &info) != 0) return {};
  if (Status attached = Execute(db, kFailed, "ATTACH DATABASE ?1 AS old", program_paths.configDb);
      !attached.ok()) {
    return attached;
  }
  Statement probe;
  bool found = false;
  Status outcome = Prepare(db, kHasOldLedger, kFailed, probe);
  if (outcome.ok()) outcome = Step(probe.get(), kFailed, found);
  probe.reset();
  if (outcome.ok() && found) {
    outcome = InTransaction(db, TransactionStep::kBegin, kFailed,
                            [db] { return ExecuteScript(db, kMoveOldLedger, kFailed); });
    if (outcome.ok()) outcome = PinMovedFiles(db);
    moved = outcome.ok();
  }
  Status detached = ExecuteScript(db, "DETACH DATABASE old", kFailed);
  return outcome.ok() ? detached : outcome;
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
Status BuildRecords(const std::string& building, bool& moved) {
  Connection db;
  if (Status opened = OpenDatabase(building.c_str(), DatabaseUse::kCreator, kFailed, db);
      !opened.ok()) {
    return opened;
  }
  TakeOwnerOfConfiguration(building);
  if (Status made = ExecuteScript(db.get(), kRecordsSchema, kFailed); !made.ok()) return made;
  return MoveOldLedger(db.get(), moved);
}

// Builds the file under a name of this process's, then links it into place:
// a second process creating it at the same moment either loses the link
// and uses the winner's file, or wins; nobody sees half a schema.
Status CreateRecords(const std::string& path) {
  const std::string building = path + ".new-" + std::to_string(getpid());
  unlink(building.c_str());
  bool moved = false;
  const Status built = BuildRecords(building, moved);
  const int linkError = !built.ok() || link(building.c_str(), path.c_str()) == 0 ? 0 : errno;
  unlink(building.c_str());
  if (!built.ok() || linkError == EEXIST) return built;
  if (linkError != 0) return Failed(kFailed, ErrnoCause("link", path.c_str(), linkError));
  if (moved) {
    // The old table would only cost every configuration read its parse; it
    // stays, unread, when the configuration cannot be written now.
    Connection config;
    if (OpenDatabase(program_paths.configDb, DatabaseUse::kWriter, kFailed, config).ok()) {
      static_cast<void>(ExecuteScript(config.get(), "DROP TABLE IF EXISTS captures", kFailed));
    }
  }
  return {};
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

Status VersionOf(sqlite3* db, int& version) {
  Statement statement;
  bool row = false;
  Status read = Prepare(db, "PRAGMA user_version", kFailed, statement);
  if (read.ok()) read = Step(statement.get(), kFailed, row);
  version = row ? sqlite3_column_int(statement.get(), 0) : 0;
  return read;
}

// A file a later version made: its tables may mean what this program does
// not know, so it is neither read nor written.
Status NotNewer(int version) {
  if (version <= kRecordsVersion) return {};
  return Failed(Message::kRecordsTooNew, RecordsDatabasePath() +
                                             ": made by a later version (user_version " +
                                             std::to_string(version) + ")");
}

// Brings a file an earlier version made up to today's schema, in one write
// transaction (a second process finds it done).
Status Upgrade(sqlite3* db) {
  int found = 0;
  if (Status read = VersionOf(db, found); !read.ok()) return read;
  if (Status newer = NotNewer(found); !newer.ok()) return newer;
  if (found == kRecordsVersion) return {};
  return InTransaction(db, TransactionStep::kBeginWrite, kFailed, [db]() -> Status {
    int version = 0;
    if (Status read = VersionOf(db, version); !read.ok()) return read;
    if (Status newer = NotNewer(version); !newer.ok()) return newer;
    for (const AddedColumn& column : kAddedColumns) {
      if (column.tableSince <= version && version < column.version) {
        if (Status added = ExecuteScript(db, column.sql, kFailed); !added.ok()) return added;
      }
    }
    return version < kRecordsVersion ? ExecuteScript(db, kRecordsSchema, kFailed) : Status{};
  });
}

// A reader takes the file as a writer left it, and changes nothing: one
// that is missing or not yet brought up to date is not there for it.
Status OpenForReading(const std::string& path, Connection& db) {
  int version = 0;
  Status opened = OpenDatabase(path.c_str(), DatabaseUse::kReader, kFailed, db);
  if (opened.ok()) opened = VersionOf(db.get(), version);
  if (opened.ok()) opened = NotNewer(version);
  if (opened.ok() && version < kRecordsVersion) {
    opened = Failed(kFailed, path + ": made by an earlier version (user_version " +
                                 std::to_string(version) + "), not yet brought up to date");
  }
  if (!opened.ok()) db.reset();
  return opened;
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

Status OpenRecords(DatabaseUse use, Connection& db) {
  const std::string path = RecordsDatabasePath();
  if (use == DatabaseUse::kReader) return OpenForReading(path, db);
  Status opened = OpenDatabase(path.c_str(), use, kFailed, db);
  struct stat info {};
  if (!opened.ok() && opened.message != Message::kNotEnoughMemory &&
      lstat(path.c_str(), &info) != 0 && errno == ENOENT) {
    opened = CreateRecords(path);
    if (opened.ok()) opened = OpenDatabase(path.c_str(), use, kFailed, db);
  }
  if (opened.ok()) opened = Upgrade(db.get());
  if (!opened.ok()) db.reset();
  return opened;
}
