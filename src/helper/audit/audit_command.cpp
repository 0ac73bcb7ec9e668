#include <algorithm>

#include "helper/audit/audit_commands.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/request_keys.h"
#include "helper/ledger/audit_store.h"
#include "helper/ledger/records_db.h"

namespace {

void WriteEntry(std::string& out, const AuditEntry& entry) {
  out += '{';
  AppendNumberMember(out, "id", entry.id);
  out += ", ";
  AppendNumberMember(out, "time", entry.time);
  const std::pair<const char*, const std::string*> who[] = {
      {"user", &entry.user}, {"address", &entry.address}, {"command", &entry.command}};
  for (const auto& [key, text] : who) {
    out += ", ";
    AppendTextMember(out, key, *text);
  }
  out += ", \"request\": {";
  AppendTextMember(out, "mac", entry.mac);
  out += ", ";
  AppendTextMember(out, "id", entry.capture);
  out += ", ";
  AppendTextMember(out, "from", entry.from);
  out += ", ";
  AppendTextMember(out, "to", entry.to);
  out += "}, ";
  AppendNumberMember(out, "result", entry.result);
  out += ", ";
  AppendTextMember(out, "message", entry.message);
  out += ", ";
  AppendNumberMember(out, "bytes", entry.bytes);
  out += '}';
}

}  // namespace

Outcome OutputAudit(ResponseBody& body) {
  uint64_t limit = 0;
  uint64_t before = 0;
  if (Outcome read = ReadNumber(Key::kListLimit, limit); !read.ok()) return read;
  if (Outcome read = ReadNumber(Key::kBefore, before); !read.ok()) return read;
  constexpr Message kFailed = Message::kCannotLoadAudit;
  Connection ledger;
  if (Outcome opened = OpenRecordsStep(DatabaseUse::kReader, kFailed, ledger); !opened.ok()) {
    return opened;
  }
  const std::optional<std::vector<AuditEntry>> entries = ListAudit(
      ledger.get(), KeyText(Key::kUser),
      static_cast<int64_t>(std::min<uint64_t>(limit, kAuditRows)), static_cast<int64_t>(before));
  if (!entries) return RecordsFailed(kFailed, ledger.get());
  std::string& out = body.text;
  out += "\"audit\": [\n";
  for (size_t i = 0; i < entries->size(); ++i) {
    if (i > 0) out += ",\n";
    WriteEntry(out, (*entries)[i]);
  }
  out += entries->empty() ? "]\n" : "\n]\n";
  return {};
}
