// Real SQLite files for tests: built from the shipped schemas, inspected and
// damaged on purpose.
#ifndef VELORANTIS_TESTS_SUPPORT_SQLITE_FILE_H_
#define VELORANTIS_TESTS_SUPPORT_SQLITE_FILE_H_

#include <string>

// The path of a file of the source tree's schema folder, e.g. "config.sql".
std::string SchemaPath(const std::string& name);

// Runs `sql` (any number of statements) on the database at `path`, creating
// the file when missing; fails the test on any error.
void ExecSql(const std::string& path, const std::string& sql);

// Creates the database at `path` from the schema file `schemaName`.
void CreateFromSchema(const std::string& path, const std::string& schemaName);

// Makes sure no database is left at `path` (nor its journal, WAL or shared
// memory file), creating the parent directory when missing.
void RemoveDatabase(const std::string& path);

// RemoveDatabase, then CreateFromSchema; for "config.sql" also removes the
// records database beside it, which the program then creates anew.
void RecreateDatabase(const std::string& path, const std::string& schemaName);

// The first column of the first row of `sql`, as text ("NULL" for a null,
// "" when there is no row).
std::string QueryText(const std::string& path, const std::string& sql);

// Gives each ledger entry at `path` that knows its file by path only the
// device and inode of the regular file there now, as a start records them.
void RecordFileIdentities(const std::string& path);

// Overwrites the root page of `table` with garbage. Preparing statements on
// the table still succeeds (only the schema page is read then); stepping
// them reports a corrupt database.
void CorruptTablePage(const std::string& path, const std::string& table);

#endif  // VELORANTIS_TESTS_SUPPORT_SQLITE_FILE_H_
