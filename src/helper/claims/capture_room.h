// The room a new capture may take under the retention policy. A capture is
// one file that its device writes until its count, size or duration ends
// it, and nothing trims it while it runs: so it gets, at its start, a size
// limit that fits what the policy leaves, and then neither the quota nor the
// free-space floor can be crossed while it runs, and it is never too big to
// keep once it ends.
#ifndef VELORANTIS_HELPER_CLAIMS_CAPTURE_ROOM_H_
#define VELORANTIS_HELPER_CLAIMS_CAPTURE_ROOM_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "shared/status.h"

// The least room a start takes: 1 MB, or, under a policy that allows less
// than twice that in all (a quota, or the space above a floor, under 2 MB),
// half of what it allows.
inline constexpr int64_t kLeastRoom = 1000000;

struct CaptureRoom {
  bool limited = false;  // a policy holds, and `bytes` is the room it leaves
  int64_t bytes = 0;
  int64_t least = kLeastRoom;  // less room than this refuses the start
};

// The room for a capture into `folder`: the quota less what no removal
// frees (pinned captures, and running ones at their limits, or at their
// sizes where they have none), and the free space above the floor on the
// folder's file system less what running captures there may still write,
// plus what the policy may remove there; the smaller of the two, and never
// below 0; and the least room a start takes there, into `room`. Not
// limited without a policy. Fails as the ledger does.
Status RoomFor(sqlite3* ledger, const std::string& folder, CaptureRoom& room);

#endif  // VELORANTIS_HELPER_CLAIMS_CAPTURE_ROOM_H_
