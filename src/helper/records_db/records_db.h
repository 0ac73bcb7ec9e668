// The records database: the capture ledger's own file, apart from the
// configuration so that reading or saving the configuration never pays for
// the ledger's schema, and a busy or broken ledger never hides the
// configuration. The program creates it from its schema (schema/records.sql,
// built in) when it is missing, and moves into it once the ledger an earlier
// version kept in table `captures` of the configuration database.
#ifndef VELORANTIS_HELPER_RECORDS_DB_RECORDS_DB_H_
#define VELORANTIS_HELPER_RECORDS_DB_RECORDS_DB_H_

#include <string>

#include "shared/sqlite_handles.h"
#include "shared/status.h"

// The records database's path: program_paths.recordsDb, or, when that is
// empty, "velorantis-records.db" in the configuration database's folder.
std::string RecordsDatabasePath();

// Opens the records database into `db` as `use` says. A writer (kWriter)
// first creates it when it is missing: built aside and linked into place,
// so that a concurrent request either finds the whole file or none, with the
// owner and permission bits of the configuration database (as the
// installation left them), and holding the rows of the configuration
// database's old ledger, which is then dropped there; and brings a file an
// earlier version made up to today's schema. A reader (kReader) changes
// nothing: a file that is missing or that an earlier version made fails.
// Fails with kLedgerUnavailable and SQLite's cause (or errno's, for the
// link) when it cannot be opened, created or brought up to date,
// kRecordsTooNew when a later version made it, kNotEnoughMemory when memory
// ran out; `db` is then null.
Status OpenRecords(DatabaseUse use, Connection& db);

#endif  // VELORANTIS_HELPER_RECORDS_DB_RECORDS_DB_H_
