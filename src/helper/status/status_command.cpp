#include "helper/status/status_command.h"

#include <cstring>

#include "VelorantisAPI.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/memory_budget.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "helper/ledger/capture_ends.h"
#include "helper/status/capture_row.h"
#include "helper/status/stats_series.h"
#include "shared/discovery.h"
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

// SQLite's allocations fail like the answer's own: a read that failed for
// want of memory answers "Not enough memory", not that the device, its rows
// or the database are missing. Every failed call leaves its code on the
// connection, the lookups that hide their failures included.
void ThrowIfOutOfMemory(sqlite3* db, int rc) {
  if (IsOutOfMemory(db, rc)) ThrowOutOfMemory();
}

// Writes the failed answer; -1, as the command returns when it fails.
int Fail(std::string& out, const char* message) {
  WriteOutcome(out, message);
  return -1;
}

// The MAC text to look up: the request's own, or for "default" the one the
// device library reports for its first device. Returns null or the message.
const char* ResolveRequestedMac(std::string& mac) {
  const char* requested = getvar("mac");
  if (requested == nullptr) return kInvalidMac;
  if (strcmp(requested, "default") != 0) {
    mac = requested;
    return nullptr;
  }
  void* handle = FindDevice("default");
  if (handle == NoDevice()) {
    RecordFailureCause(NoDeviceCause());
    return kInvalidMac;
  }
  char model[kDeviceTextSize];
  char macText[kDeviceTextSize];
  if (const int rc = GetDeviceInfo(handle, model, macText); rc != 0) {
    RecordLibraryFailure("GetDeviceInfo", rc);
    return "Failed to get device info";
  }
  mac = macText;
  return nullptr;
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

// The device's first capture row. Returns null or the message.
const char* ReadCapture(sqlite3* db, int64_t deviceId, StatusAnswer& nodes) {
  CaptureRow row;
  const CaptureRead read = ReadCaptureRow(db, deviceId, row);
  if (read == CaptureRead::kCannotPrepare) return "Failed to get device capture status";
  if (read != CaptureRead::kRow) return "Failed to get device status";
  WriteCaptureNode(nodes.capture, row);
  nodes.captureRunning = row.values[0] != 0;
  return nullptr;
}

// Every read of the command, in order, inside its transaction. Returns null
// or the message of the first that failed.
const char* ReadStatusAnswer(sqlite3* db, const std::string& mac, const StatsWindow& window,
                             StatusAnswer& nodes) {
  const StoredDevice device = GetStoredDevice(db, mac.c_str());
  const int64_t deviceId = device.id;
  if (deviceId < 0) return "Failed to get device id";
  ThrowIfOutOfMemory(db, sqlite3_errcode(db));  // "Unknown" stands for failures too
  WriteInfoNode(nodes.info, mac, device.model);
  if (const char* failure = ReadCapture(db, deviceId, nodes)) return failure;
  return ReadStatistics(db, deviceId, window, nodes.stats);
}

// The statistics pieces are moved, not copied: they are most of a large
// answer.
void WriteAnswer(std::string& out, TextPieces& tail, StatusAnswer& nodes) {
  WriteOutcome(out, nullptr);
  for (const std::string* part : {&nodes.info, &nodes.capture}) {
    out += ",\n";
    out += *part;
  }
  for (TextPieces* node : {&nodes.stats.statsV1, &nodes.stats.statsV2}) {
    if (node->empty()) continue;  // a statistics table without samples
    tail.reserve(tail.size() + node->size() + 1);
    tail.emplace_back(",\n");
    for (std::string& piece : *node) tail.push_back(std::move(piece));
  }
}

// All reads in one transaction, so the rows of one answer come from one state
// of the file: committed when every read succeeded, else rolled back. A
// failed BEGIN is logged and the reads run regardless. Returns null or the
// message of the first read that failed.
const char* ReadInTransaction(sqlite3* db, const char* path, const std::string& mac,
                              const StatsWindow& window, StatusAnswer& nodes) {
  ThrowIfOutOfMemory(db, StartTransaction(db));
  const char* failure = ReadStatusAnswer(db, mac, window, nodes);
  if (failure != nullptr) {
    // Before the rollback, which replaces SQLite's error.
    ThrowIfOutOfMemory(db, sqlite3_errcode(db));
    RecordSqliteFailure(db, path);
    RollbackTransaction(db);
  } else {
    ThrowIfOutOfMemory(db, CommitTransaction(db));
  }
  return failure;
}

}  // namespace

int OutputStatus(ResponseBody& body) {
  std::string& out = body.text;
  std::string mac;
  if (const char* failure = ResolveRequestedMac(mac)) return Fail(out, failure);
  const StatsWindow window = ReadStatsWindow();
  const char* statusDb = program_paths.statusDb;
  OpenFailure openFailure;
  Connection db = OpenDatabase(statusDb, DatabaseUse::kStatusReader, &openFailure);
  if (!db) ThrowIfOutOfMemory(nullptr, openFailure.code);
  if (!db) {
    RecordSqliteOpenFailure(statusDb, openFailure.code, openFailure.systemErrno);
    return Fail(out, "Cannot open database");
  }
  StatusAnswer nodes;
  const char* failure = ReadInTransaction(db.get(), statusDb, mac, window, nodes);
  db.reset();
  if (failure != nullptr) return Fail(out, failure);
  // A device the daemon shows idle may have ended a capture by itself that
  // the ledger still holds as running. Looking costs the configuration
  // database's open and schema, so a running device is not asked about.
  if (!nodes.captureRunning) NoteEndedCaptures(mac.c_str());
  WriteAnswer(out, body.tail, nodes);
  return 0;
}
