#include "helper/removal/removal_counts.h"

#include <string>

#include "shared/statement.h"

namespace {

constexpr Message kFailed = Message::kLedgerUnavailable;

constexpr char kCount[] =
    "INSERT INTO removals (reason, removals, bytes) VALUES (?1, ?3, ?2) "
    "ON CONFLICT (reason) DO UPDATE SET removals = removals + ?3, bytes = bytes + ?2";
constexpr char kCounts[] = "SELECT reason, removals, bytes FROM removals";

constexpr RemovalReason kReasons[] = {RemovalReason::kQuota, RemovalReason::kMinFree,
                                      RemovalReason::kDelete};

}  // namespace

const char* ReasonName(RemovalReason reason) {
  switch (reason) {
    case RemovalReason::kQuota:
      return "quota";
    case RemovalReason::kMinFree:
      return "minfree";
    case RemovalReason::kDelete:
      return "delete";
  }
  return "";
}

Status CountRemoval(sqlite3* db, RemovalReason reason, int64_t bytes, int removals) {
  return Execute(db, kFailed, kCount, ReasonName(reason), bytes, removals);
}

Status RemovalCounts(sqlite3* db, std::vector<RemovalCount>& counts) {
  counts.clear();
  for (RemovalReason reason : kReasons) counts.push_back({reason});
  Statement select;
  Status read = Prepare(db, kCounts, kFailed, select);
  if (!read.ok()) return read;
  return ForEachRow(select.get(), kFailed, [&counts](sqlite3_stmt* row) {
    const std::string name = TextColumn(row, 0);
    for (RemovalCount& count : counts) {
      if (name != ReasonName(count.reason)) continue;
      count.removals = sqlite3_column_int64(row, 1);
      count.bytes = sqlite3_column_int64(row, 2);
    }
  });
}
