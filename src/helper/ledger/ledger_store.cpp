#include "helper/ledger/ledger_store.h"

#include <sqlite3.h>

#include <initializer_list>

#include "shared/sqlite_failure.h"
#include "shared/statement.h"

namespace {

constexpr Message kFailed = Message::kLedgerUnavailable;

constexpr char kColumns[] =
    "SELECT id, mac, file, loop, count, size, duration, inline, slicing, state, started, "
    "startedby, startedfrom, ended, stoppedby, stoppedfrom, error, filedev, fileino, filesize, "
    "filemtime, pinned, deleted, deletedby, freed, firstpacket, lastpacket, "
    "capture IS NOT NULL FROM captures LEFT JOIN policylimits ON capture = id ";

constexpr char kInsert[] =
    "INSERT INTO captures (mac, file, loop, count, size, duration, inline, slicing, state, "
    "started, startedby, startedfrom, ended, error) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)";
constexpr char kPolicyLimit[] = "INSERT OR REPLACE INTO policylimits (capture) VALUES (?1)";
constexpr char kTrimLimits[] =
    "DELETE FROM policylimits WHERE capture NOT IN (SELECT id FROM captures)";

constexpr char kActive[] = "state IN ('starting', 'running')";

// Only entries without a file go: claims stand for a file that may be being
// written, ended captures for the file they left, and a removal for its
// file until it is unlinked.
constexpr char kTrim[] =
    "DELETE FROM captures WHERE id <= ?1 AND (state IN ('failed', 'missing') OR "
    "(state = 'deleted' AND fileino = 0))";

// The states of an ended capture that left its file; and those a removal
// may be recorded for, its file gone by hand included.
constexpr char kKept[] = "state IN ('stopped', 'ended', 'gone')";
constexpr char kRemovable[] = "state IN ('stopped', 'ended', 'gone', 'missing')";

// A capture becomes "running" only from its claim; every other settlement
// ends a claim.
constexpr char kEnd[] =
    "UPDATE captures SET state = ?2, ended = ?3, stoppedby = ?4, stoppedfrom = ?5, error = ?6, "
    "filedev = ?7, fileino = ?8, filesize = ?9, filemtime = ?10, firstpacket = ?11, "
    "lastpacket = ?12 WHERE id = ?1 AND (state = 'starting' OR (state = 'running' AND ?2 != "
    "'running'))";

constexpr char kRename[] = "UPDATE captures SET file = ?2 WHERE id = ?1";

LedgerEntry EntryOf(sqlite3_stmt* row) {
  LedgerEntry entry;
  entry.id = sqlite3_column_int64(row, 0);
  entry.mac = TextColumn(row, 1);
  entry.file = TextColumn(row, 2);
  int column = 3;
  for (int64_t* number : {&entry.loop, &entry.count, &entry.size, &entry.duration,
                          &entry.inlineMode, &entry.slicing}) {
    *number = sqlite3_column_int64(row, column++);
  }
  entry.state = TextColumn(row, 9);
  entry.started = sqlite3_column_int64(row, 10);
  entry.startedBy = TextColumn(row, 11);
  entry.startedFrom = TextColumn(row, 12);
  entry.ended = sqlite3_column_int64(row, 13);
  entry.stoppedBy = TextColumn(row, 14);
  entry.stoppedFrom = TextColumn(row, 15);
  entry.error = sqlite3_column_int64(row, 16);
  entry.identity = {sqlite3_column_int64(row, 17), sqlite3_column_int64(row, 18),
                    sqlite3_column_int64(row, 19), sqlite3_column_int64(row, 20)};
  entry.pinned = sqlite3_column_int64(row, 21) != 0;
  entry.deleted = sqlite3_column_int64(row, 22);
  entry.deletedBy = TextColumn(row, 23);
  entry.freed = sqlite3_column_int64(row, 24);
  entry.firstPacket = sqlite3_column_int64(row, 25);
  entry.lastPacket = sqlite3_column_int64(row, 26);
  entry.policySize = sqlite3_column_int64(row, 27) != 0;
  return entry;
}

Status BindEntry(sqlite3_stmt* statement, const LedgerEntry& entry) {
  return Bind(statement, kFailed, entry.mac, entry.file, entry.loop, entry.count, entry.size,
              entry.duration, entry.inlineMode, entry.slicing, entry.state, entry.started,
              entry.startedBy, entry.startedFrom, entry.ended, entry.error);
}

// Every row the statement `sql` with `values` gives, into `entries`.
template <typename... Values>
Status Entries(sqlite3* db, const std::string& sql, std::vector<LedgerEntry>& entries,
               const Values&... values) {
  entries.clear();
  Statement select;
  Status read = Prepare(db, sql.c_str(), kFailed, select);
  if (read.ok()) read = Bind(select.get(), kFailed, values...);
  if (read.ok()) {
    read = ForEachRow(select.get(), kFailed,
                      [&entries](sqlite3_stmt* row) { entries.push_back(EntryOf(row)); });
  }
  return read;
}

// The first row of Entries, if any.
template <typename... Values>
Status FirstEntry(sqlite3* db, const std::string& sql, std::optional<LedgerEntry>& entry,
                  const Values&... values) {
  entry.reset();
  std::vector<LedgerEntry> entries;
  Status read = Entries(db, sql, entries, values...);
  if (read.ok() && !entries.empty()) entry = std::move(entries.front());
  return read;
}

// An update of one entry that must change exactly one row.
template <typename... Values>
Status UpdateOne(sqlite3* db, const char* sql, const Values&... values) {
  Status updated = Execute(db, kFailed, sql, values...);
  if (updated.ok() && sqlite3_changes(db) != 1) return SqliteFailed(db, SQLITE_OK, kFailed);
  return updated;
}

}  // namespace

bool IsActive(const LedgerEntry& entry) {
  return entry.state == "starting" || entry.state == "running";
}

bool HasKeptFile(const LedgerEntry& entry) {
  return entry.state == "stopped" || entry.state == "ended" || entry.state == "gone";
}

bool IsFileOf(const LedgerEntry& entry, const struct stat& info) {
  if (entry.state == "failed" || !S_ISREG(info.st_mode)) return false;
  FileIdentity recorded = entry.identity;
  if (IsActive(entry)) {
    // Its claim on the path makes the file there its own until the device
    // has created it, and while a looping device starts it over as a new
    // file; and it grows.
    if (entry.loop != 0 || !IsKnown(recorded)) return true;
    recorded.size = recorded.modified = -1;
  }
  // An ended capture without a recorded file has none.
  return IsRecordedFile(recorded, info);
}

Status RecordCapture(sqlite3* db, const LedgerEntry& entry, int64_t& id) {
  Statement insert;
  Status recorded = Prepare(db, kInsert, kFailed, insert);
  if (recorded.ok()) recorded = BindEntry(insert.get(), entry);
  if (recorded.ok()) recorded = Run(insert.get(), kFailed);
  if (!recorded.ok()) return recorded;
  id = sqlite3_last_insert_rowid(db);
  if (entry.policySize) {
    if (Status limited = Execute(db, kFailed, kPolicyLimit, id); !limited.ok()) return limited;
  }
  // Trimming is housekeeping: rows it leaves go with a later insert.
  if (Execute(db, kFailed, kTrim, id - kLedgerRows).ok() && sqlite3_changes(db) > 0) {
    static_cast<void>(ExecuteScript(db, kTrimLimits, kFailed));
  }
  return {};
}

Status RecordEnd(sqlite3* db, int64_t id, const CaptureEnd& end) {
  return Execute(db, kFailed, kEnd, id, end.state, end.ended, end.stoppedBy, end.stoppedFrom,
                 end.error, end.identity.device, end.identity.inode, end.identity.size,
                 end.identity.modified, end.firstPacket, end.lastPacket);
}

Status RecordRename(sqlite3* db, int64_t id, const std::string& file) {
  return Execute(db, kFailed, kRename, id, file);
}

Status RecordPin(sqlite3* db, int64_t id, bool pinned) {
  return UpdateOne(db, "UPDATE captures SET pinned = ?2 WHERE id = ?1", id, pinned);
}

Status RecordRemoval(sqlite3* db, int64_t id, const Removal& removal) {
  const std::string sql = std::string(
                              "UPDATE captures SET state = 'deleted', deleted = ?2, "
                              "deletedby = ?3, freed = ?4 WHERE id = ?1 AND pinned = 0 AND ") +
                          kRemovable;
  return UpdateOne(db, sql.c_str(), id, removal.when, removal.by, removal.freed);
}

Status UndoRemoval(sqlite3* db, const LedgerEntry& entry) {
  return UpdateOne(db,
                   "UPDATE captures SET state = ?2, deleted = 0, deletedby = '', freed = 0 "
                   "WHERE id = ?1 AND state = 'deleted'",
                   entry.id, entry.state);
}

Status RecordMissing(sqlite3* db, int64_t id) {
  const std::string sql =
      std::string("UPDATE captures SET state = 'missing' WHERE id = ?1 AND ") + kKept;
  return Execute(db, kFailed, sql.c_str(), id);
}

Status RecordUnlinked(sqlite3* db, int64_t id) {
  return Execute(db, kFailed, "UPDATE captures SET filedev = 0, fileino = 0 WHERE id = ?1", id);
}

Status KeptCaptures(sqlite3* db, std::vector<LedgerEntry>& entries) {
  return Entries(db, std::string(kColumns) + "WHERE " + kKept + " ORDER BY id", entries);
}

Status PendingRemovals(sqlite3* db, std::vector<LedgerEntry>& entries) {
  return Entries(db, std::string(kColumns) + "WHERE state = 'deleted' AND fileino != 0 ORDER BY id",
                 entries);
}

Status ActiveCaptures(sqlite3* db, const char* mac, std::vector<LedgerEntry>& entries) {
  return Entries(
      db, std::string(kColumns) + "WHERE " + kActive + " AND (?1 IS NULL OR mac = ?1) ORDER BY id",
      entries, mac);
}

Status CaptureById(sqlite3* db, int64_t id, std::optional<LedgerEntry>& entry) {
  return FirstEntry(db, std::string(kColumns) + "WHERE id = ?1", entry, id);
}

Status LatestCaptureOf(sqlite3* db, const std::string& file, std::optional<LedgerEntry>& entry) {
  return FirstEntry(db,
                    std::string(kColumns) +
                        "WHERE file = ?1 AND state NOT IN ('failed', 'deleted', 'missing') "
                        "ORDER BY id DESC LIMIT 1",
                    entry, file);
}

Status ListCaptures(sqlite3* db, const char* mac, int64_t limit, int64_t before,
                    std::vector<LedgerEntry>& entries) {
  // One form for each selection, so that a page costs the same however
  // long the ledger: by id alone, or by the index of each device's ids.
  const int64_t below = before > 0 ? before : INT64_MAX;
  if (mac == nullptr) {
    return Entries(db, std::string(kColumns) + "WHERE id < ?1 ORDER BY id DESC LIMIT ?2", entries,
                   below, limit);
  }
  return Entries(db, std::string(kColumns) + "WHERE mac = ?1 AND id < ?2 ORDER BY id DESC LIMIT ?3",
                 entries, mac, below, limit);
}
