#include "helper/frontend/failure_log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "helper/frontend/request_vars.h"

namespace {

struct FailureRecord {
  bool failed = false;
  int result = 0;
  std::string message;
  std::string cause;
};

// One request per process: the record lives as long as the request.
FailureRecord& Record() {
  static FailureRecord record;
  return record;
}

void AppendQuoted(std::string& line, const char* name, std::string_view value) {
  static constexpr char kHex[] = "0123456789abcdef";
  line += ' ';
  line += name;
  line += "=\"";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      line += '\\';
      line += c;
    } else if (byte < 0x20 || byte > 0x7e) {
      line += "\\x";
      line += kHex[byte >> 4];
      line += kHex[byte & 15];
    } else {
      line += c;
    }
  }
  line += '"';
}

void AppendIfSet(std::string& line, const char* name, const char* value) {
  if (value != nullptr) AppendQuoted(line, name, value);
}

std::string UtcNow() {
  const time_t now = time(nullptr);
  tm parts{};
  char text[32] = "";
  if (gmtime_r(&now, &parts) != nullptr) strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

}  // namespace

void RecordFailureCause(std::string cause) {
  if (Record().cause.empty()) Record().cause = std::move(cause);
}

namespace {

void RecordSqlite(const char* text, int extendedCode, int systemErrno, const char* path) {
  std::string cause = std::string("sqlite \"") + text + "\" code " +
                      std::to_string(extendedCode & 0xff) + " (extended " +
                      std::to_string(extendedCode);
  if (systemErrno != 0) {
    cause += ", errno " + std::to_string(systemErrno) + " " + strerror(systemErrno);
  }
  RecordFailureCause(cause + ") at " + path);
}

}  // namespace

void RecordSqliteFailure(sqlite3* db, const char* path) {
  const int code = sqlite3_errcode(db);
  if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) {
    RecordFailureCause(std::string("sqlite: no matching row at ") + path);
    return;
  }
  RecordSqlite(sqlite3_errmsg(db), sqlite3_extended_errcode(db), sqlite3_system_errno(db), path);
}

void RecordSqliteOpenFailure(const char* path, int code, int systemErrno) {
  RecordSqlite(sqlite3_errstr(code), code, systemErrno, path);
}

void RecordErrnoFailure(const char* operation, const char* path, int error) {
  RecordFailureCause(std::string(operation) + " " + path + ": " + strerror(error) + " (errno " +
                     std::to_string(error) + ")");
}

void RecordLibraryFailure(const char* operation, long long result) {
  RecordFailureCause(std::string(operation) + " returned " + std::to_string(result));
}

void NoteFailedAnswer(int result, const char* message) {
  FailureRecord& record = Record();
  record.failed = true;
  record.result = result;
  record.message = message;
}

void WriteFailureLine(FILE* stream) {
  const FailureRecord& record = Record();
  if (!record.failed) return;
  std::string line = UtcNow() + " velorantis:";
  const char* command = getvar("command");
  AppendQuoted(line, "command", command != nullptr ? command : "");
  AppendIfSet(line, "mac", getvar("mac"));
  line += " result=" + std::to_string(record.result);
  AppendQuoted(line, "message", record.message);
  if (!record.cause.empty()) AppendQuoted(line, "cause", record.cause);
  AppendIfSet(line, "remote_user", getenv("REMOTE_USER"));
  AppendIfSet(line, "remote_addr", getenv("REMOTE_ADDR"));
  line += '\n';
  fwrite(line.data(), 1, line.size(), stream);
  fflush(stream);
}

void ForgetFailure() { Record() = FailureRecord{}; }
