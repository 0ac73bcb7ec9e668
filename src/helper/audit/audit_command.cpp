#include <algorithm>

#include "helper/audit/audit_commands.h"
#include "helper/audit_store/audit_store.h"
#include "helper/frontend/json_text.h"
#include "helper/records_db/records_db.h"

namespace {

void WriteEntry(std::string& out, const AuditEntry& entry) {
  const auto text = [&out](const char* key, const std::string& value, const char* after) {
    AppendTextMember(out, key, value);
    out += after;
  };
  out += '{';
  AppendNumberMember(out, "id", entry.id);
  out += ", ";
  AppendNumberMember(out, "time", entry.time);
  out += ", ";
  text("user", entry.user, ", ");
  text("address", entry.address, ", ");
  text("command", entry.command, ", \"request\": {");
  text("mac", entry.mac, ", ");
  text("id", entry.capture, ", ");
  text("from", entry.from, ", ");
  text("to", entry.to, ", ");
  text("range", entry.range, ", ");
  text("filter", entry.filter, "}, ");
  AppendNumberMember(out, "result", entry.result);
  out += ", ";
  text("message", entry.message, ", ");
  AppendNumberMember(out, "bytes", entry.bytes);
  out += '}';
}

}  // namespace

Status OutputAudit(const Request& request, ResponseBody& body) {
  uint64_t limit = 0;
  uint64_t before = 0;
  if (Status read = ReadNumber(request, Key::kListLimit, limit); !read.ok()) return read;
  if (Status read = ReadNumber(request, Key::kBefore, before); !read.ok()) return read;
  Connection ledger;
  std::vector<AuditEntry> entries;
  Status read = OpenRecords(DatabaseUse::kReader, ledger);
  if (read.ok()) {
    read = ListAudit(ledger.get(), KeyText(request, Key::kUser),
                     static_cast<int64_t>(std::min<uint64_t>(limit, kAuditRows)),
                     static_cast<int64_t>(before), entries);
  }
  if (!read.ok()) return read.Or(Message::kCannotLoadAudit);
  AppendArrayNode(body.text, "audit", entries, WriteEntry);
  return {};
}
