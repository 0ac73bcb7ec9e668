#include "helper/status/status_command.h"

#include <cstring>
#include <optional>
#include <vector>

#include "VelorantisAPI.h"
#include "helper/capture_ends/capture_ends.h"
#include "helper/device/device_lookup.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/response.h"
#include "helper/ledger/ledger_store.h"
#include "helper/records_db/records_db.h"
#include "helper/retention/retention.h"
#include "helper/status/capture_row.h"
#include "helper/status/stats_series.h"
#include "shared/discovery.h"
#include "shared/sqlite_failure.h"
#include "shared/status_db.h"
#include "shared/transaction.h"

namespace {

// Built apart from the response and copied into it only once every read has
// succeeded.
struct StatusAnswer {
  std::string info;
  std::string capture;
  StatsNodes stats;
  bool captureRunning = false;  // the daemon's status value, non-zero while a capture runs
};

// The MAC text to look up: the request's own, or for "default" the one the
// device library reports for its first device.
Status ResolveRequestedMac(const Request& request, std::string& mac) {
  const char* requested = nullptr;
  if (Status read = ReadText(request, Key::kMac, requested); !read.ok()) return read;
  if (!AsksDefaultDevice(request)) {
    mac = requested;
    return {};
  }
  void* handle = nullptr;
  if (Status found = FindRequestedDevice(request, handle); !found.ok()) return found;
  char model[kDeviceTextSize];
  char macText[kDeviceTextSize];
  if (const int rc = GetDeviceInfo(handle, model, macText); rc != 0) {
    return Failed(Message::kFailedDeviceInfo, LibraryCause("GetDeviceInfo", rc));
  }
  mac = macText;
  return {};
}

void WriteInfoNode(std::string& node, const std::string& mac, const std::string& model) {
  node += "\"info\": {\n\"mac\": \"";
  WriteJsonText(node, mac);
  node += "\",\"model\": \"";
  WriteJsonText(node, model);
  node += "\"}";
}

void WriteCaptureNode(std::string& node, const CaptureRow& row) {
  node += "\"capture\": {\n";
  constexpr int kLast = kCaptureColumns - 1;
  for (int column = 0; column <= kLast; ++column) {
    const char* key = kCaptureFields[column].key;
    const int64_t value = row.values[column];
    if (kCaptureFields[column].isSigned) {
      AppendNumberMember(node, key, value);
    } else {
      AppendNumberMember(node, key, static_cast<uint64_t>(value));
    }
    node += column < kLast ? ",\n" : "\n";
  }
  node += '}';
}

// The device's first capture row.
Status ReadCapture(sqlite3* db, int64_t deviceId, StatusAnswer& nodes) {
  std::optional<CaptureRow> row;
  if (Status read = ReadCaptureRow(db, deviceId, row); !read.ok()) return read;
  if (!row) return SqliteFailed(db, SQLITE_OK, Message::kFailedDeviceStatus);
  WriteCaptureNode(nodes.capture, *row);
  nodes.captureRunning = row->values[0] != 0;
  return {};
}

// Every read of the command, in order, inside its transaction.
Status ReadStatusAnswer(sqlite3* db, const std::string& mac, const StatsWindow& window,
                        StatusAnswer& nodes) {
  StoredDevice device;
  if (Status found = GetStoredDevice(db, mac.c_str(), device); !found.ok()) return found;
  WriteInfoNode(nodes.info, mac, device.model);
  if (Status read = ReadCapture(db, device.id, nodes); !read.ok()) return read;
  return ReadStatistics(db, device.id, window, nodes.stats);
}

// The size the retention policy gave the device's running capture at its
// start; -1 when it set none (or the ledger cannot say).
int64_t PolicyLimitOf(const std::string& mac) {
  Connection ledger;
  std::vector<LedgerEntry> active;
  if (!OpenRecords(DatabaseUse::kReader, ledger).ok() ||
      !ActiveCaptures(ledger.get(), mac.c_str(), active).ok()) {
    return -1;
  }
  for (const LedgerEntry& entry : active) {
    if (entry.policySize) return entry.size;
  }
  return -1;
}

// The statistics pieces are moved, not copied: they are most of a large
// answer.
void WriteAnswer(std::string& out, TextPieces& tail, StatusAnswer& nodes, int64_t policyLimit) {
  out += nodes.info;
  out += ",\n";
  out += nodes.capture;
  // Only for a capture whose size the retention policy set.
  if (policyLimit >= 0) {
    out += ",\n\"limit\": {";
    AppendNumberMember(out, "bytes", policyLimit);
    out += ", \"policy\": 1}";
  }
  // Only when the capture files' retention policy could not be met: the
  // answer is otherwise as it always was.
  if (RetentionUnmet()) out += ",\n\"retention\": {\"met\": 0}";
  for (TextPieces* node : {&nodes.stats.statsV1, &nodes.stats.statsV2}) {
    if (node->empty()) continue;  // a statistics table without samples
    tail.reserve(tail.size() + node->size() + 1);
    tail.emplace_back(",\n");
    for (std::string& piece : *node) tail.push_back(std::move(piece));
  }
}

// All reads in one transaction, so the rows of one answer come from one state
// of the file: committed when every read succeeded, else rolled back. A
// failed BEGIN is logged and the reads run regardless.
Status ReadInTransaction(sqlite3* db, const std::string& mac, const StatsWindow& window,
                         StatusAnswer& nodes) {
  return InReadTransaction(db, Message::kCannotOpenDatabase,
                           [&] { return ReadStatusAnswer(db, mac, window, nodes); });
}

}  // namespace

Status OutputStatus(const Request& request, ResponseBody& body) {
  std::string mac;
  if (Status resolved = ResolveRequestedMac(request, mac); !resolved.ok()) return resolved;
  const StatsWindow window = ReadStatsWindow(request);
  const char* statusDb = program_paths.statusDb;
  Connection db;
  if (Status opened =
          OpenDatabase(statusDb, DatabaseUse::kStatusReader, Message::kCannotOpenDatabase, db);
      !opened.ok()) {
    return opened;
  }
  StatusAnswer nodes;
  Status read = ReadInTransaction(db.get(), mac, window, nodes);
  db.reset();
  if (!read.ok()) return read;
  WriteAnswer(body.text, body.tail, nodes, nodes.captureRunning ? PolicyLimitOf(mac) : -1);
  return {};
}
