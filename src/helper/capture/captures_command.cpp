#include "helper/capture/capture_commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "helper/capture_ends/packet_times.h"
#include "helper/frontend/command_roles.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/request.h"
#include "helper/frontend/response.h"
#include "helper/frontend/roles.h"
#include "helper/ledger/ledger_store.h"
#include "helper/records_db/records_db.h"
#include "shared/paths.h"

namespace {

struct Selection {
  const char* mac;  // null: every device
  int64_t limit;
  int64_t before;  // 0: from the newest
};

Status ReadSelection(const Request& request, Selection& selection) {
  const char* mac = KeyText(request, Key::kMac);
  selection.mac = mac != nullptr && strcmp(mac, "all") == 0 ? nullptr : mac;
  uint64_t limit = 0;
  uint64_t before = 0;
  if (Status read = ReadNumber(request, Key::kListLimit, limit); !read.ok()) return read;
  if (Status read = ReadNumber(request, Key::kBefore, before); !read.ok()) return read;
  // No more than the ledger keeps.
  selection.limit = static_cast<int64_t>(std::min<uint64_t>(limit, kLedgerRows));
  selection.before = static_cast<int64_t>(before);
  return {};
}

// The capture file's size now; -1 when it has none (a failed start, a removed
// file), once it is gone, and when the file at its path is not the capture's.
int64_t FileSize(const LedgerEntry& entry) {
  if (!IsActive(entry) && !HasKeptFile(entry)) return -1;
  struct stat info {};
  if (lstat(entry.file.c_str(), &info) != 0 || !IsFileOf(entry, info)) return -1;
  return static_cast<int64_t>(info.st_size);
}

void AppendText(std::string& out, const char* key, const std::string& text) {
  AppendTextMember(out, key, text);
  out += ", ";
}

void AppendNumber(std::string& out, const char* key, int64_t value, const char* after = ", ") {
  AppendNumberMember(out, key, value);
  out += after;
}

void WriteEntry(std::string& out, const LedgerEntry& entry) {
  const int64_t size = FileSize(entry);
  // A file removed by hand, or another file in its place, is missing to the
  // ledger as soon as it is seen so; a prune records it.
  const bool missing = HasKeptFile(entry) && size < 0;
  out += '{';
  AppendNumber(out, "id", entry.id);
  AppendText(out, "mac", entry.mac);
  AppendText(out, "file", entry.file);
  AppendText(out, "state", missing ? "missing" : entry.state);
  AppendNumber(out, "started", entry.started);
  AppendNumber(out, "ended", entry.ended);
  AppendText(out, "startedby", entry.startedBy);
  AppendText(out, "stoppedby", entry.stoppedBy);
  AppendNumber(out, "size", size);
  AppendNumber(out, "error", entry.error);
  AppendNumber(out, "pinned", entry.pinned ? 1 : 0);
  AppendNumber(out, "deleted", entry.deleted);
  AppendText(out, "deletedby", entry.deletedBy);
  AppendNumber(out, "freed", entry.freed);
  // The size it may reach in bytes (0: none), and whether the retention
  // policy set it at the start.
  AppendNumber(out, "limit", entry.size);
  AppendNumber(out, "policylimit", entry.policySize ? 1 : 0);
  // Recorded at the end; read from the file while it runs (the newest
  // packet so far) and for entries older than the record.
  PacketTimes packets{entry.firstPacket, entry.lastPacket};
  if (packets.first < 0 && size >= 0) packets = PacketTimesOf(entry.file);
  AppendSecondsMember(out, "first", packets.first);
  out += ", ";
  AppendSecondsMember(out, "last", packets.last);
  out += ", ";
  out += "\"settings\": {";
  AppendNumber(out, "loop", entry.loop);
  AppendNumber(out, "count", entry.count);
  AppendNumber(out, "size", entry.size >> 20);  // MiB, as getconfig shows it
  AppendNumber(out, "duration", entry.duration);
  AppendNumber(out, "inline", entry.inlineMode);
  AppendNumber(out, "slicing", entry.slicing, "");
  out += "}}";
}

// Who asks, and what they may do: the page shows it and offers only what
// the role allows, by each command's least role.
void WriteAccess(std::string& out, const Caller& caller) {
  const Access& access = caller.access;
  out += "\"access\": {";
  AppendText(out, "user", ShownUser(caller));
  AppendText(out, "role", RoleName(access.role));
  AppendNumber(out, "roles", access.configured ? 1 : 0);
  AppendLeastRoles(out);
  out += "},\n";
}

}  // namespace

Status OutputCaptures(const Request& request, ResponseBody& body) {
  std::string& out = body.text;
  Selection selection{};
  if (Status read = ReadSelection(request, selection); !read.ok()) return read;
  constexpr Message kFailed = Message::kCannotLoadCaptures;
  Connection ledger;
  std::vector<LedgerEntry> entries;
  Status read = OpenRecords(DatabaseUse::kReader, ledger);
  if (read.ok()) {
    read = ListCaptures(ledger.get(), selection.mac, selection.limit, selection.before, entries);
  }
  if (!read.ok()) return read.Or(kFailed);
  WriteAccess(out, request.caller);
  AppendArrayNode(out, "captures", entries, WriteEntry);
  return {};
}
