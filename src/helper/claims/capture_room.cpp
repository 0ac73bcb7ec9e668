#include "helper/claims/capture_room.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "helper/ledger/ledger_store.h"
#include "helper/retention/retention.h"

namespace {

// What the quota has left once nothing more can be removed.
int64_t QuotaRoom(const PolicyState& state, const std::vector<LedgerEntry>& kept) {
  int64_t fixed = 0;
  for (const ActiveFile& active : state.active) {
    fixed += ActiveSize(active) + StillToWrite(active);
  }
  for (const LedgerEntry& entry : kept) {
    if (entry.pinned) fixed += RecordedSize(entry);
  }
  return state.policy.maxBytes - fixed;
}

// What the file system of `space` has above the floor once the running
// captures there have written all they may and the policy has removed all
// it may: whole blocks, as the new file takes them.
int64_t FloorRoom(const PolicyState& state, const std::vector<LedgerEntry>& kept,
                  const FolderSpace& space) {
  int64_t room = space.freeBytes - FloorBytes(space, state.policy.minFree);
  for (const ActiveFile& active : state.active) {
    if (FileSystemOf(active.file) == space.device) room -= StillToAllocate(active, space.block);
  }
  for (const LedgerEntry& entry : kept) {
    if (!entry.pinned && KeptFileSystem(entry) == space.device) room += RecordedSize(entry);
  }
  return room > 0 ? room / space.block * space.block : room;
}

}  // namespace

Status RoomFor(sqlite3* ledger, const std::string& folder, CaptureRoom& room) {
  room = {};
  PolicyState state;
  if (Status read = LoadPolicyState(ledger, state); !read.ok()) return read;
  const RetentionPolicy& policy = state.policy;
  if (policy.maxBytes <= 0 && policy.minFree <= 0) return {};
  std::vector<LedgerEntry> kept;
  if (Status read = KeptCaptures(ledger, kept); !read.ok()) return read;
  room.limited = true;
  room.bytes = std::numeric_limits<int64_t>::max();
  if (policy.maxBytes > 0) {
    room.bytes = QuotaRoom(state, kept);
    room.least = std::min(room.least, policy.maxBytes / 2);
  }
  if (policy.minFree > 0) {
    // A folder whose file system cannot be read fails the start there.
    if (const std::optional<FolderSpace> space = SpaceOf(folder)) {
      room.bytes = std::min(room.bytes, FloorRoom(state, kept, *space));
      const int64_t aboveFloor = space->totalBytes - FloorBytes(*space, policy.minFree);
      room.least = std::min(room.least, aboveFloor / 2);
    }
  }
  room.bytes = std::max<int64_t>(room.bytes, 0);
  return {};
}
