// The configuration store: the one stored capture configuration, the row
// whose mac is 'default' in table `config` of the configuration database,
// turned into the device library's two records and back. The file, the table
// and the row are created outside the program (schema/config.sql); neither
// operation creates anything. Each opens its own connection, runs its
// statement (a read that finds no row also checks the file) and closes the
// connection before it returns. The file keeps a
// write-ahead log (schema/config.sql), so a read sees the last committed row
// while a save runs; a connection waits up to two seconds for a lock that
// another process holds for a moment, then fails.
#ifndef VELORANTIS_HELPER_CONFIG_CONFIG_STORE_H_
#define VELORANTIS_HELPER_CONFIG_CONFIG_STORE_H_

#include "VelorantisAPI.h"

// Fills both records from the row, or from the defaults when the table has no
// 'default' row (empty destination, inline on, everything else off or 0),
// and in both cases the fixed content (FillRecords). `config.destination`
// then points to a newly allocated wide copy that is never freed
// (WidenDestination); a NULL destination column reads as the empty text.
// Returns 0 on success; -1 when the database cannot be opened read-write, the
// statement cannot be prepared or reading the row fails (locked, damaged; a
// missing row counts as damage unless the file passes SQLite's quick check
// and a scan without the index finds no row either), and then both records
// are left exactly as they were. Throws std::bad_alloc (ThrowOutOfMemory)
// when SQLite runs out of memory, as when the program does.
int LoadConfiguration(const char* dbPath, VelorantisAPIDeviceFeatures& features,
                      VelorantisAPIDiskDumpConfig& config);

// Writes destination, loop, count, size, duration, the inline flag and the
// slicing value into the 'default' row; only reads the records. Returns 0
// when the row has been updated; -1 when the database cannot be opened or the
// statement prepared, the destination is longer than kMaxStoredDestination
// bytes or holds a character that is no byte, the update fails, or there is
// no 'default' row to update. The row is unchanged whenever it returns -1.
// Throws std::bad_alloc as LoadConfiguration does.
int StoreConfiguration(const char* dbPath, const VelorantisAPIDeviceFeatures& features,
                       const VelorantisAPIDiskDumpConfig& config);

#endif  // VELORANTIS_HELPER_CONFIG_CONFIG_STORE_H_
