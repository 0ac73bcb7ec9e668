#include "helper/ledger/ledger_store.h"

#include <sqlite3.h>

#include <initializer_list>

#include "helper/ledger/statement_values.h"

namespace {

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

bool BindEntry(sqlite3_stmt* statement, const LedgerEntry& entry) {
  bool bound = BindText(statement, 1, entry.mac) && BindText(statement, 2, entry.file);
  int index = 3;
  for (int64_t number :
       {entry.loop, entry.count, entry.size, entry.duration, entry.inlineMode, entry.slicing}) {
    bound = bound && BindNumber(statement, index++, number);
  }
  return bound && BindText(statement, 9, entry.state) && BindNumber(statement, 10, entry.started) &&
         BindText(statement, 11, entry.startedBy) && BindText(statement, 12, entry.startedFrom) &&
         BindNumber(statement, 13, entry.ended) && BindNumber(statement, 14, entry.error);
}

// Every row `statement` gives; nullopt when a step fails.
std::optional<std::vector<LedgerEntry>> Entries(sqlite3_stmt* statement) {
  std::vector<LedgerEntry> entries;
  int step;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) entries.push_back(EntryOf(statement));
  if (step != SQLITE_DONE) return std::nullopt;
  return entries;
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

int64_t RecordCapture(sqlite3* db, const LedgerEntry& entry) {
  Statement insert = Prepare(db, kInsert);
  if (!insert || !BindEntry(insert.get(), entry) || !Run(insert.get())) return -1;
  const int64_t id = sqlite3_last_insert_rowid(db);
  if (entry.policySize) {
    Statement limit = Prepare(db, kPolicyLimit);
    if (!limit || !BindNumber(limit.get(), 1, id) || !Run(limit.get())) return -1;
  }
  Statement trim = Prepare(db, kTrim);
  if (trim && BindNumber(trim.get(), 1, id - kLedgerRows) && Run(trim.get()) &&
      sqlite3_changes(db) > 0) {
    Execute(db, kTrimLimits);
  }
  return id;
}

bool RecordEnd(sqlite3* db, int64_t id, const CaptureEnd& end) {
  Statement update = Prepare(db, kEnd);
  return update && BindNumber(update.get(), 1, id) && BindText(update.get(), 2, end.state) &&
         BindNumber(update.get(), 3, end.ended) && BindText(update.get(), 4, end.stoppedBy) &&
         BindText(update.get(), 5, end.stoppedFrom) && BindNumber(update.get(), 6, end.error) &&
         BindNumber(update.get(), 7, end.identity.device) &&
         BindNumber(update.get(), 8, end.identity.inode) &&
         BindNumber(update.get(), 9, end.identity.size) &&
         BindNumber(update.get(), 10, end.identity.modified) &&
         BindNumber(update.get(), 11, end.firstPacket) &&
         BindNumber(update.get(), 12, end.lastPacket) && Run(update.get());
}

bool RecordRename(sqlite3* db, int64_t id, const std::string& file) {
  Statement update = Prepare(db, kRename);
  return update && BindNumber(update.get(), 1, id) && BindText(update.get(), 2, file) &&
         Run(update.get());
}

bool RecordPin(sqlite3* db, int64_t id, bool pinned) {
  Statement update = Prepare(db, "UPDATE captures SET pinned = ?2 WHERE id = ?1");
  return update && BindNumber(update.get(), 1, id) && BindNumber(update.get(), 2, pinned) &&
         Run(update.get()) && sqlite3_changes(db) == 1;
}

bool RecordRemoval(sqlite3* db, int64_t id, const Removal& removal) {
  const std::string sql = std::string(
                              "UPDATE captures SET state = 'deleted', deleted = ?2, "
                              "deletedby = ?3, freed = ?4 WHERE id = ?1 AND pinned = 0 AND ") +
                          kRemovable;
  Statement update = Prepare(db, sql.c_str());
  return update && BindNumber(update.get(), 1, id) && BindNumber(update.get(), 2, removal.when) &&
         BindText(update.get(), 3, removal.by) && BindNumber(update.get(), 4, removal.freed) &&
         Run(update.get()) && sqlite3_changes(db) == 1;
}

bool UndoRemoval(sqlite3* db, const LedgerEntry& entry) {
  Statement update = Prepare(db,
                             "UPDATE captures SET state = ?2, deleted = 0, deletedby = '', "
                             "freed = 0 WHERE id = ?1 AND state = 'deleted'");
  return update && BindNumber(update.get(), 1, entry.id) &&
         BindText(update.get(), 2, entry.state) && Run(update.get()) && sqlite3_changes(db) == 1;
}

bool RecordMissing(sqlite3* db, int64_t id) {
  const std::string sql =
      std::string("UPDATE captures SET state = 'missing' WHERE id = ?1 AND ") + kKept;
  Statement update = Prepare(db, sql.c_str());
  return update && BindNumber(update.get(), 1, id) && Run(update.get());
}

bool RecordUnlinked(sqlite3* db, int64_t id) {
  Statement update = Prepare(db, "UPDATE captures SET filedev = 0, fileino = 0 WHERE id = ?1");
  return update && BindNumber(update.get(), 1, id) && Run(update.get());
}

std::optional<std::vector<LedgerEntry>> KeptCaptures(sqlite3* db) {
  const std::string sql = std::string(kColumns) + "WHERE " + kKept + " ORDER BY id";
  Statement select = Prepare(db, sql.c_str());
  if (!select) return std::nullopt;
  return Entries(select.get());
}

std::optional<std::vector<LedgerEntry>> PendingRemovals(sqlite3* db) {
  const std::string sql =
      std::string(kColumns) + "WHERE state = 'deleted' AND fileino != 0 ORDER BY id";
  Statement select = Prepare(db, sql.c_str());
  if (!select) return std::nullopt;
  return Entries(select.get());
}

std::optional<std::vector<LedgerEntry>> ActiveCaptures(sqlite3* db, const char* mac) {
  const std::string sql =
      std::string(kColumns) + "WHERE " + kActive + " AND (?1 IS NULL OR mac = ?1) ORDER BY id";
  Statement select = Prepare(db, sql.c_str());
  if (!select || (mac != nullptr && !BindText(select.get(), 1, mac))) return std::nullopt;
  return Entries(select.get());
}

int CaptureById(sqlite3* db, int64_t id, LedgerEntry& entry) {
  const std::string sql = std::string(kColumns) + "WHERE id = ?1";
  Statement select = Prepare(db, sql.c_str());
  if (!select || !BindNumber(select.get(), 1, id)) return -1;
  std::optional<std::vector<LedgerEntry>> entries = Entries(select.get());
  if (!entries) return -1;
  if (entries->empty()) return 1;
  entry = entries->front();
  return 0;
}

std::optional<LedgerEntry> LatestCaptureOf(sqlite3* db, const std::string& file, bool& readable) {
  const std::string sql =
      std::string(kColumns) +
      "WHERE file = ?1 AND state NOT IN ('failed', 'deleted', 'missing') ORDER BY id DESC LIMIT 1";
  Statement select = Prepare(db, sql.c_str());
  std::optional<std::vector<LedgerEntry>> entries;
  if (select && BindText(select.get(), 1, file)) entries = Entries(select.get());
  readable = entries.has_value();
  if (!entries || entries->empty()) return std::nullopt;
  return entries->front();
}

std::optional<std::vector<LedgerEntry>> ListCaptures(sqlite3* db, const char* mac, int64_t limit,
                                                     int64_t before) {
  const std::string sql = std::string(kColumns) +
                          "WHERE (?1 IS NULL OR mac = ?1) AND (?2 <= 0 OR id < ?2) "
                          "ORDER BY id DESC LIMIT ?3";
  Statement select = Prepare(db, sql.c_str());
  if (!select || (mac != nullptr && !BindText(select.get(), 1, mac)) ||
      !BindNumber(select.get(), 2, before) || !BindNumber(select.get(), 3, limit)) {
    return std::nullopt;
  }
  return Entries(select.get());
}
