#include "helper/frontend/failure_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "helper/frontend/hex_byte.h"
#include "helper/frontend/utc_time.h"

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

constexpr size_t kMaxLine = 4096;  // PIPE_BUF: one write that never interleaves
constexpr char kCutMark[] = "...[cut]";
constexpr size_t kCutMarkSize = sizeof kCutMark - 1;

// The bytes `c` takes in a quoted value.
size_t QuotedSize(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte == '"' || byte == '\\') return 2;
  return byte < 0x20 || byte > 0x7e ? 4 : 1;
}

size_t QuotedSize(std::string_view value) {
  size_t size = 0;
  for (const char c : value) size += QuotedSize(c);
  return size;
}

// Appends ` name="value"`, the value quoted in at most `cap` bytes (at least
// kCutMarkSize): a longer one is cut between two quoted bytes and ends in
// kCutMark.
void AppendQuoted(std::string& line, const char* name, std::string_view value, size_t cap) {
  const size_t size = QuotedSize(value);
  const size_t keep = size <= cap ? size : cap - kCutMarkSize;
  line += ' ';
  line += name;
  line += "=\"";
  size_t kept = 0;
  for (const char c : value) {
    kept += QuotedSize(c);
    if (kept > keep) break;
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      line += '\\';
      line += c;
    } else if (byte < 0x20 || byte > 0x7e) {
      AppendHexByte(line, "\\x", byte);
    } else {
      line += c;
    }
  }
  if (size > cap) line += kCutMark;
  line += '"';
}

// A quoted field of the line; absent when `value` is null.
struct Field {
  const char* name;
  const char* value;
  std::string_view text() const { return value != nullptr ? value : ""; }
};

// The largest quoted size every value may keep so that all of them fit in
// `room` bytes: values that fit as they are keep their size, the longer ones
// share the rest equally.
size_t FairCap(std::vector<size_t> sizes, size_t room) {
  std::sort(sizes.begin(), sizes.end());
  for (size_t i = 0; i < sizes.size(); ++i) {
    const size_t share = room / (sizes.size() - i);
    if (sizes[i] > share) return std::max(share, kCutMarkSize);
    room -= sizes[i];
  }
  return SIZE_MAX;  // all fit: nothing is cut
}

}  // namespace

void RecordFailureCause(std::string cause) {
  if (Record().cause.empty()) Record().cause = std::move(cause);
}

std::string ErrnoCause(const char* operation, const char* path, int error) {
  return std::string(operation) + " " + path + ": " + strerror(error) + " (errno " +
         std::to_string(error) + ")";
}

std::string LibraryCause(const char* operation, long long result) {
  return std::string(operation) + " returned " + std::to_string(result);
}

void NoteFailedAnswer(int result, const char* message) {
  FailureRecord& record = Record();
  record.failed = true;
  record.result = result;
  record.message = message;
}

void NoteSideFailure(const char* message, std::string cause) {
  FailureRecord& record = Record();
  record.failed = true;
  record.message = message;
  record.cause = std::move(cause);
}

void WriteFailureLine(FILE* stream, const Request& request) {
  const FailureRecord& record = Record();
  if (!record.failed) return;
  const char* command = KeyText(request, Key::kCommand);
  const Caller& caller = request.caller;
  // The result goes after the first two.
  const Field fields[] = {
      {"command", command != nullptr ? command : ""},
      {"mac", KeyText(request, Key::kMac)},
      {"message", record.message.c_str()},
      {"cause", record.cause.empty() ? nullptr : record.cause.c_str()},
      {"remote_user", caller.user.empty() ? nullptr : caller.user.c_str()},
      {"remote_addr", caller.address.empty() ? nullptr : caller.address.c_str()},
  };
  std::string line = IsoUtc(time(nullptr)) + " velorantis:";
  const std::string result = " result=" + std::to_string(record.result);
  size_t fixed = line.size() + result.size() + 1;  // and the line feed
  std::vector<size_t> sizes;
  for (const Field& field : fields) {
    if (field.value == nullptr) continue;
    fixed += strlen(field.name) + 4;  // ` name=""`
    sizes.push_back(QuotedSize(field.text()));
  }
  const size_t cap = FairCap(sizes, kMaxLine - fixed);
  for (const Field& field : fields) {
    if (&field == &fields[2]) line += result;
    if (field.value != nullptr) AppendQuoted(line, field.name, field.text(), cap);
  }
  line += '\n';
  fwrite(line.data(), 1, line.size(), stream);
  fflush(stream);
}

void ForgetFailure() { Record() = FailureRecord{}; }
