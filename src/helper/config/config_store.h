// The configuration store: the one stored capture configuration, the row
// whose mac is 'default' in table `config` of the configuration database,
// as the settings record (LoadSettings, StoreSettings) or as the device
// library's two records (LoadConfiguration, StoreConfiguration). The file, the table
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
#include "helper/capture_settings/capture_settings.h"
#include "shared/status.h"

// The row's settings, or the defaults when the table has no 'default' row
// (empty destination, inline on, everything else off or 0); a NULL
// destination column reads as the empty text. Fails with kCannotLoadConfig
// when the database cannot be opened read-write, the statement cannot be
// prepared or reading the row fails (locked, damaged; a missing row counts
// as damage unless the file passes SQLite's quick check and a scan without
// the index finds no row either), and then leaves `settings` as it was;
// with kNotEnoughMemory when SQLite runs out of memory. The cause is
// SQLite's with the path.
Status LoadSettings(const char* dbPath, CaptureSettings& settings);

// The stored destination as a folder path ending in '/', the folder the next
// capture goes to, into `folder`; empty when there is none or it cannot be
// read. Fails only when memory ran out (kNotEnoughMemory).
Status ConfiguredFolder(std::string& folder);

// Writes the settings into the 'default' row: destination, loop, count,
// size, duration, the inline flag and the slicing value (0 while slicing is
// off). Fails with kCannotSaveConfig when the destination is longer than
// kMaxStoredDestination bytes, the database cannot be opened or the
// statement prepared, the update fails, or there is no 'default' row to
// update; the row is then unchanged. Memory that ran out fails as
// LoadSettings does.
Status StoreSettings(const char* dbPath, const CaptureSettings& settings);

// LoadSettings into both records, with the fixed content (FillRecords).
// `config.destination` then points to a newly allocated wide copy that is
// never freed (WidenDestination). Returns 0 on success; -1 when LoadSettings
// fails, its cause recorded for the failure log, and then both records are
// left exactly as they were. Throws std::bad_alloc (ThrowOutOfMemory) when
// SQLite runs out of memory, as the program's own allocations do.
int LoadConfiguration(const char* dbPath, VelorantisAPIDeviceFeatures& features,
                      VelorantisAPIDiskDumpConfig& config);

// StoreSettings with the records' settings (SettingsOf); only reads the
// records. Returns 0 when the row has been updated; -1 when StoreSettings
// fails or the destination holds a character that is no byte, its cause
// recorded for the failure log; the row is then unchanged. Throws as
// LoadConfiguration does.
int StoreConfiguration(const char* dbPath, const VelorantisAPIDeviceFeatures& features,
                       const VelorantisAPIDiskDumpConfig& config);

#endif  // VELORANTIS_HELPER_CONFIG_CONFIG_STORE_H_
