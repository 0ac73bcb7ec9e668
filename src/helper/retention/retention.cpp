#include "helper/retention/retention.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "helper/audit_store/audit_store.h"
#include "helper/frontend/failure_log.h"
#include "helper/ledger/ledger_store.h"
#include "helper/records_db/records_db.h"
#include "helper/removal/capture_removal.h"

namespace {

constexpr char kRetentionBy[] = "retention";

std::string UnmetMarkPath() { return RecordsDatabasePath() + ".unmet"; }

void MarkMet(bool met) {
  const std::string path = UnmetMarkPath();
  if (met) {
    unlink(path.c_str());
    return;
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0660);
  if (fd >= 0) close(fd);
}

// The ended captures' recorded bytes, and the running ones' at their limits
// (those without one at their files now): what they may come to hold.
int64_t UsedBytes(const PolicyState& state) {
  int64_t used = state.keptBytes;
  for (const ActiveFile& active : state.active) used += ActiveSize(active) + StillToWrite(active);
  return used;
}

// Adds to each folder's file system what its running captures may still
// write.
void AddReserves(std::vector<FolderSpace>& spaces, const PolicyState& state) {
  for (const ActiveFile& active : state.active) {
    if (active.limit <= 0) continue;
    const int64_t device = FileSystemOf(active.file);
    for (FolderSpace& space : spaces) {
      if (space.device == device) {
        space.reserved += StillToAllocate(active, space.block);
        break;
      }
    }
  }
}

// Adds `folder` unless it is there already: by its resolved path, or as it
// stands when it is `resolved` already (the ledger's paths are).
void AddFolder(std::vector<FolderSpace>& spaces, const std::string& folder, bool resolved = true) {
  std::string path = folder;
  if (!resolved) {
    char* real = realpath(folder.c_str(), nullptr);
    if (real == nullptr) return;
    path = real;
    free(real);
  }
  if (!path.ends_with('/')) path += '/';
  for (const FolderSpace& space : spaces) {
    if (space.folder == path) return;
  }
  if (std::optional<FolderSpace> space = SpaceOf(path)) spaces.push_back(std::move(*space));
}

// The device numbers of the file systems below the floor.
std::vector<int64_t> BelowFloor(const std::vector<FolderSpace>& spaces,
                                const RetentionPolicy& policy) {
  std::vector<int64_t> devices;
  if (policy.minFree <= 0) return devices;
  for (const FolderSpace& space : spaces) {
    if (space.freeBytes - space.reserved < FloorBytes(space, policy.minFree)) {
      devices.push_back(space.device);
    }
  }
  return devices;
}

bool OverQuota(const RetentionPolicy& policy, int64_t used) {
  return policy.maxBytes > 0 && used > policy.maxBytes;
}

// The audit trail has each removal as the policy's: the capture, and the
// bytes it freed.
void AuditPolicyRemoval(sqlite3* ledger, const LedgerEntry& entry, int64_t freed) {
  AuditEntry audit;
  audit.time = time(nullptr);
  audit.user = kRetentionBy;
  audit.address = "-";
  audit.command = "delete";
  audit.mac = entry.mac;
  audit.capture = std::to_string(entry.id);
  audit.bytes = freed;
  int64_t id = 0;
  // The removal stands whether or not the trail keeps it.
  static_cast<void>(AppendAudit(ledger, audit, id));
}

// Removes the oldest kept captures that help until the policy holds.
Status RemoveOldest(sqlite3* ledger, const std::vector<LedgerEntry>& kept, StorageState& state,
                    PruneReport& report) {
  for (const LedgerEntry& entry : kept) {
    const bool overQuota = OverQuota(state.policy, state.usedBytes);
    const std::vector<int64_t> low = BelowFloor(state.folders, state.policy);
    if (!overQuota && low.empty()) break;
    if (entry.pinned) continue;
    const int64_t device = low.empty() ? 0 : KeptFileSystem(entry);
    const bool onLow = std::find(low.begin(), low.end(), device) != low.end();
    if (!overQuota && !onLow) continue;
    RemovalResult removal;
    const Status removed = RemoveCaptureFile(
        ledger, entry, overQuota ? RemovalReason::kQuota : RemovalReason::kMinFree, kRetentionBy,
        removal);
    if (removed.message == Message::kCannotRemoveFile) {
      // It stays, and counts as it did; the next pass tries again.
      NoteSideFailure("Capture file not removed", removed.cause);
      continue;
    }
    if (!removed.ok()) return removed;
    state.usedBytes -= RecordedSize(entry);
    if (removal.missing) continue;
    ++report.removed;
    report.freed += removal.freed;
    AuditPolicyRemoval(ledger, entry, removal.freed);
    if (!onLow) continue;
    for (FolderSpace& space : state.folders) {
      if (space.device != device) continue;
      if (std::optional<FolderSpace> now = SpaceOf(space.folder)) {
        now->reserved = space.reserved;
        space = std::move(*now);
      }
    }
  }
  return {};
}

bool IsMet(const StorageState& state) {
  return !OverQuota(state.policy, state.usedBytes) &&
         BelowFloor(state.folders, state.policy).empty();
}

}  // namespace

int64_t RecordedSize(const LedgerEntry& entry) { return std::max<int64_t>(entry.identity.size, 0); }

int64_t KeptFileSystem(const LedgerEntry& entry) {
  return entry.identity.device != 0 ? entry.identity.device : FileSystemOf(entry.file);
}

int64_t FloorBytes(const FolderSpace& space, int64_t minFree) {
  return (space.totalBytes / 100) * minFree + (space.totalBytes % 100 * minFree + 99) / 100;
}

int64_t FileSystemOf(const std::string& file) {
  struct stat info {};
  if (lstat(file.c_str(), &info) == 0) return static_cast<int64_t>(info.st_dev);
  const std::optional<FolderSpace> space = SpaceOf(FolderOf(file));
  return space ? space->device : 0;
}

int64_t ActiveSize(const ActiveFile& active) {
  struct stat info {};
  if (lstat(active.file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return static_cast<int64_t>(info.st_size);
}

int64_t StillToWrite(const ActiveFile& active) {
  return active.limit > 0 ? std::max<int64_t>(active.limit - ActiveSize(active), 0) : 0;
}

int64_t StillToAllocate(const ActiveFile& active, int64_t block) {
  if (active.limit <= 0 || block <= 0) return 0;
  struct stat info {};
  const int64_t taken = lstat(active.file.c_str(), &info) == 0 && S_ISREG(info.st_mode)
                            ? static_cast<int64_t>(info.st_blocks) * 512
                            : 0;
  const int64_t whole = (active.limit + block - 1) / block * block;
  return std::max<int64_t>(whole - taken, 0);
}

std::string FolderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? "./" : file.substr(0, slash + 1);
}

std::optional<FolderSpace> SpaceOf(const std::string& folder) {
  struct statvfs space {};
  struct stat info {};
  if (statvfs(folder.c_str(), &space) != 0 || stat(folder.c_str(), &info) != 0 ||
      space.f_blocks == 0) {
    return std::nullopt;
  }
  const auto unit = static_cast<int64_t>(space.f_frsize);
  FolderSpace result{.folder = folder,
                     .device = static_cast<int64_t>(info.st_dev),
                     .freeBytes = static_cast<int64_t>(space.f_bavail) * unit,
                     .totalBytes = static_cast<int64_t>(space.f_blocks) * unit,
                     .block = unit};
  result.percentFree = static_cast<int64_t>(space.f_bavail * 100 / space.f_blocks);
  return result;
}

Status ReadStorageState(sqlite3* ledger, const std::vector<std::string>& folders,
                        StorageState& state) {
  PolicyState policy;
  std::vector<std::string> inUse;
  if (Status read = LoadPolicyState(ledger, policy, true); !read.ok()) return read;
  if (Status read = CaptureFolders(ledger, inUse); !read.ok()) return read;
  state = {};
  state.policy = policy.policy;
  state.usedBytes = UsedBytes(policy);
  for (const std::string& folder : inUse) AddFolder(state.folders, folder);
  for (const std::string& folder : folders) AddFolder(state.folders, folder, false);
  AddReserves(state.folders, policy);
  state.met = IsMet(state);
  return {};
}

Status KeepWithinPolicy(sqlite3* ledger, const std::vector<std::string>& folders, bool reconcile,
                        PruneReport& report) {
  report = {};
  if (reconcile) {
    if (Status reconciled = ReconcileRemovals(ledger); !reconciled.ok()) return reconciled;
  }
  PolicyState policy;
  if (Status read = LoadPolicyState(ledger, policy); !read.ok()) return read;
  StorageState state;
  state.policy = policy.policy;
  state.usedBytes = UsedBytes(policy);
  // While the policy holds, a pass costs that query and, under a floor, a
  // statvfs per folder.
  if (state.policy.minFree > 0) {
    std::vector<std::string> inUse = folders;
    if (folders.empty()) {
      if (Status read = CaptureFolders(ledger, inUse); !read.ok()) return read;
    }
    for (const std::string& folder : inUse) AddFolder(state.folders, folder);
    AddReserves(state.folders, policy);
  }
  if (!IsMet(state)) {
    std::vector<LedgerEntry> kept;
    if (Status read = KeptCaptures(ledger, kept); !read.ok()) return read;
    if (Status removed = RemoveOldest(ledger, kept, state, report); !removed.ok()) return removed;
  }
  report.met = IsMet(state);
  MarkMet(report.met);
  return {};
}

bool RetentionUnmet() { return access(UnmetMarkPath().c_str(), F_OK) == 0; }
