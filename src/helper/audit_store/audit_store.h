// The audit trail in the records database: one row for every request that
// changed something or tried to, every download and every refusal. The
// newest kAuditRows are kept.
#ifndef VELORANTIS_HELPER_AUDIT_STORE_AUDIT_STORE_H_
#define VELORANTIS_HELPER_AUDIT_STORE_AUDIT_STORE_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shared/status.h"

inline constexpr int64_t kAuditRows = 10000;

struct AuditEntry {
  int64_t id = 0;
  int64_t time = 0;     // Unix seconds
  std::string user;     // REMOTE_USER, "-" without a login
  std::string address;  // REMOTE_ADDR, "-" without one
  std::string command;
  // The request's own texts, "" where it gave none.
  std::string mac;
  std::string capture;  // its "id"
  std::string from;
  std::string to;
  int64_t result = 0;
  std::string message;
  int64_t bytes = -1;  // a download's bytes the program sent; -1: none or not known
  std::string range;   // the Range a download asked for; "" for none
  std::string filter;  // the capture filter it gave; "" for none
};

// Each fails with kCannotLoadAudit (kNotEnoughMemory when memory ran out)
// and SQLite's cause.

// Appends `entry`, its id into `id`, and drops the rows older than the
// newest kAuditRows.
Status AppendAudit(sqlite3* db, const AuditEntry& entry, int64_t& id);

// Sets the bytes sent of entry `id`.
Status RecordAuditBytes(sqlite3* db, int64_t id, int64_t bytes);

// At most `limit` entries, newest first: those of `user` only unless it is
// null, and older than entry `before` unless it is 0.
Status ListAudit(sqlite3* db, const char* user, int64_t limit, int64_t before,
                 std::vector<AuditEntry>& entries);

#endif  // VELORANTIS_HELPER_AUDIT_STORE_AUDIT_STORE_H_
