// The capture ledger's record of a capture file, as a download needs it.
#ifndef VELORANTIS_HELPER_DOWNLOAD_LEDGER_FILE_H_
#define VELORANTIS_HELPER_DOWNLOAD_LEDGER_FILE_H_

#include <cstdint>
#include <string>

struct LedgerFile {
  std::string file;     // the capture file's path now
  std::string mac;      // the device's MAC text
  int64_t started = 0;  // Unix seconds
};

// Reads entry `id` of table `captures` in the configuration database at
// `dbPath` into `entry`. Returns 0 when it is there, 1 when there is no such
// entry, -1 when the ledger cannot be read (no database, no table, a lock
// held longer than the wait, damage). Opens and closes its own connection.
int ReadLedgerFile(const char* dbPath, int64_t id, LedgerFile& entry);

#endif  // VELORANTIS_HELPER_DOWNLOAD_LEDGER_FILE_H_
