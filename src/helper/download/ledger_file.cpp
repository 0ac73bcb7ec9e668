#include "helper/download/ledger_file.h"

#include <sqlite3.h>

#include "shared/sqlite_handles.h"

namespace {

// A start or stop writes its ledger row in a moment; waiting that long is
// better than failing a download beside it.
constexpr int kLockWaitMs = 2000;

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

int ReadLedgerFile(const char* dbPath, int64_t id, LedgerFile& entry) {
  Connection db = OpenExistingDatabase(dbPath);
  if (!db) return -1;
  sqlite3_busy_timeout(db.get(), kLockWaitMs);
  Statement statement = Prepare(db.get(), "SELECT file, mac, started FROM captures WHERE id = ?");
  if (!statement || sqlite3_bind_int64(statement.get(), 1, id) != SQLITE_OK) return -1;
  const int step = sqlite3_step(statement.get());
  if (step == SQLITE_DONE) return 1;
  if (step != SQLITE_ROW) return -1;
  entry.file = ColumnText(statement.get(), 0);
  entry.mac = ColumnText(statement.get(), 1);
  entry.started = sqlite3_column_int64(statement.get(), 2);
  return 0;
}
