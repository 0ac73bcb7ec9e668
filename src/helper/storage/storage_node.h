// The "retention" node: the policy and the storage as it stands.
#ifndef VELORANTIS_HELPER_STORAGE_STORAGE_NODE_H_
#define VELORANTIS_HELPER_STORAGE_STORAGE_NODE_H_

#include <sqlite3.h>

#include <string>

#include "shared/status.h"

// Appends "retention": {"maxbytes", "minfree", "used", "met", "room" (the
// room the next capture into the stored destination gets; -1 without a
// policy), "free": [one {"folder", "bytes", "total", "percent"} per line]}
// for the folders of the ledger's captures and that of the stored
// destination. Fails as the ledger does when it cannot be read.
Status AppendStorageNode(std::string& out, sqlite3* ledger);

#endif  // VELORANTIS_HELPER_STORAGE_STORAGE_NODE_H_
