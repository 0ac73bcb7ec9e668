#include "helper/capture/capture_commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "helper/frontend/json_text.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "helper/ledger/capture_ends.h"
#include "helper/ledger/ledger_store.h"
#include "helper/ledger/records_db.h"
#include "shared/paths.h"

namespace {

constexpr uint64_t kDefaultLimit = 20;

struct Selection {
  const char* mac;  // null: every device
  int64_t limit;
  int64_t before;  // 0: from the newest
};

Selection ReadSelection() {
  const char* mac = getvar("mac");
  if (mac != nullptr && strcmp(mac, "all") == 0) mac = nullptr;
  // No more than the ledger keeps; a huge "before" reads as "from the newest".
  const uint64_t limit =
      std::min<uint64_t>(getenv_u64_default("limit", kDefaultLimit), kLedgerRows);
  const uint64_t before = getenv_u64_default("before", 0);
  return {mac, static_cast<int64_t>(limit), before > INT64_MAX ? 0 : static_cast<int64_t>(before)};
}

// The capture file's size now; -1 when it has none (a failed start), once it
// is gone, and when the file at its path is not the capture's.
int64_t FileSize(const LedgerEntry& entry) {
  struct stat info {};
  if (lstat(entry.file.c_str(), &info) != 0 || !IsFileOf(entry, info)) return -1;
  return static_cast<int64_t>(info.st_size);
}

void AppendTextMember(std::string& out, const char* key, const std::string& text) {
  out += '"';
  out += key;
  out += "\": \"";
  WriteJsonText(out, text);
  out += "\", ";
}

void AppendNumber(std::string& out, const char* key, int64_t value, const char* after = ", ") {
  AppendNumberMember(out, key, value);
  out += after;
}

void WriteEntry(std::string& out, const LedgerEntry& entry) {
  out += '{';
  AppendNumber(out, "id", entry.id);
  AppendTextMember(out, "mac", entry.mac);
  AppendTextMember(out, "file", entry.file);
  AppendTextMember(out, "state", entry.state);
  AppendNumber(out, "started", entry.started);
  AppendNumber(out, "ended", entry.ended);
  AppendTextMember(out, "startedby", entry.startedBy);
  AppendTextMember(out, "stoppedby", entry.stoppedBy);
  AppendNumber(out, "size", FileSize(entry));
  AppendNumber(out, "error", entry.error);
  out += "\"settings\": {";
  AppendNumber(out, "loop", entry.loop);
  AppendNumber(out, "count", entry.count);
  AppendNumber(out, "size", entry.size >> 20);  // MiB, as getconfig shows it
  AppendNumber(out, "duration", entry.duration);
  AppendNumber(out, "inline", entry.inlineMode);
  AppendNumber(out, "slicing", entry.slicing, "");
  out += "}}";
}

}  // namespace

int OutputCaptures(ResponseBody& body) {
  std::string& out = body.text;
  const Selection selection = ReadSelection();
  NoteEndedCaptures(selection.mac);
  OpenFailure failure;
  Connection ledger = OpenRecords(DatabaseUse::kReader, failure);
  std::optional<std::vector<LedgerEntry>> entries;
  if (ledger) {
    entries = ListCaptures(ledger.get(), selection.mac, selection.limit, selection.before);
  }
  if (!entries) {
    WriteOutcome(out, "Cannot load captures from database");
    return 0;
  }
  WriteOutcome(out, nullptr);
  out += ",\n\"captures\": [\n";
  for (size_t i = 0; i < entries->size(); ++i) {
    if (i > 0) out += ",\n";
    WriteEntry(out, (*entries)[i]);
  }
  out += entries->empty() ? "]\n" : "\n]\n";
  return 0;
}
