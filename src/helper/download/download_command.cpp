// Offsets and sizes are 64-bit on every target (_FILE_OFFSET_BITS=64).
#include "helper/download/download_command.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "helper/capture_files/no_link_open.h"
#include "helper/download/byte_range.h"
#include "helper/download/capture_open.h"
#include "helper/download/download_header.h"
#include "helper/download/file_hand_over.h"
#include "helper/download/file_sender.h"
#include "helper/download/merged_answer.h"
#include "helper/download/time_window.h"
#include "helper/download/window_download.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/request.h"
#include "helper/ledger/ledger_store.h"
#include "helper/pcapng/packet_span.h"
#include "helper/records_db/records_db.h"
#include "shared/paths.h"

static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

namespace {

// The file and the part of it that goes out, from the handler to the writer.
struct FileAnswer {
  std::string header;
  int fd = -1;
  ByteRange range;
  bool headerOnly = false;
  // Whether the web server may send the file itself, from `path`; the
  // header then describes `file` without its length or range.
  bool handOver = false;
  std::string path;
  DownloadedFile file;
};

// Whether a range may be served: a resumed download names the file it began
// with in If-Range; when the file has changed since, the range of the old
// one would splice two files, so the whole new file goes out instead. Only
// the exact entity tag names the file: a date has one-second steps, and a
// looping capture replaces its file within one, so a date (or a weak tag,
// or anything else) gets the whole file.
bool RangeConditionHolds(const DownloadedFile& file, const RequestHeaders& request) {
  return request.ifRange == nullptr || file.tag == request.ifRange;
}

// The Range header, else "bytes=" and request variable "range": BusyBox
// httpd keeps the header to itself. Empty for none.
std::string RangeAsked(const DownloadedFile& file, const Request& request) {
  if (!RangeConditionHolds(file, request.headers)) return "";
  const char* header = request.headers.range;
  const char* variable = KeyText(request, Key::kRange);
  return header != nullptr ? header : variable != nullptr ? std::string("bytes=") + variable : "";
}

void WriteFileAnswer(FILE* stream, const FileAnswer& answer, int64_t& sent) {
  // A client that goes away ends the copy with an error, not the process.
  signal(SIGPIPE, SIG_IGN);
  const std::string serverPath = answer.handOver ? HandOverPath(answer.path, answer.fd) : "";
  if (!serverPath.empty()) {
    fputs(HandOverHeader(answer.file, serverPath).c_str(), stream);
    close(answer.fd);
    return;
  }
  fputs(answer.header.c_str(), stream);
  fflush(stream);
  if (!answer.headerOnly) {
    sent = static_cast<int64_t>(
        SendFileSpan(fileno(stream), answer.fd, answer.range.first, answer.range.length));
  }
  close(answer.fd);
}

DownloadedFile DescribeFile(const LedgerEntry& entry, const struct stat& info) {
  const auto size = static_cast<uint64_t>(info.st_size);
  return DownloadedFile{entry.mac, entry.started, size,
                        FileTag(info.st_ino, size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec),
                        HttpDate(info.st_mtim.tv_sec)};
}

// The ledger's entry of the capture "id" names.
Status FindCapture(const Request& request, LedgerEntry& entry) {
  uint64_t id = 0;
  if (Status read = ReadNumber(request, Key::kId, id); !read.ok()) return read;
  Connection ledger;
  std::optional<LedgerEntry> found;
  Status read = OpenRecords(DatabaseUse::kReader, ledger);
  if (read.ok()) read = CaptureById(ledger.get(), static_cast<int64_t>(id), found);
  if (!read.ok()) return read.Or(Message::kLedgerUnreadable);
  if (!found) return Failed(Message::kNoSuchCapture);
  entry = std::move(*found);
  return {};
}

// The capture "id" names, and its file opened (OpenCaptureFile).
Status OpenNamedCapture(const Request& request, LedgerEntry& entry, int& fd, struct stat& info) {
  if (Status found = FindCapture(request, entry); !found.ok()) return found;
  return OpenCaptureFile(entry, fd, info);
}

// Opens the file and settles what goes out, or says why nothing does;
// `moreHeaders` then holds what the refusal's header adds to its Status line,
// and `note` the range asked for.
Status PrepareFileAnswer(const Request& request, FileAnswer& answer, std::string& moreHeaders,
                         AuditNote& note) {
  LedgerEntry entry;
  struct stat info {};
  if (Status opened = OpenNamedCapture(request, entry, answer.fd, info); !opened.ok()) {
    return opened;
  }
  DownloadedFile file = DescribeFile(entry, info);
  // A server that serves ranges itself (lighttpd, from the file it is handed
  // or from the program's answer) would match an If-Range date against
  // Last-Modified: the answer to any If-Range but the tag goes out from the
  // program, without Last-Modified.
  const RequestHeaders& headers = request.headers;
  const bool conditionHolds = RangeConditionHolds(file, headers);
  if (!conditionHolds) file.modified.clear();
  note.range = RangeAsked(file, request);
  answer.range = ParseByteRange(note.range.c_str(), file.size);
  if (answer.range.kind == RangeKind::kUnsatisfiable) {
    close(answer.fd);
    moreHeaders = "Content-Range: bytes */" + std::to_string(file.size) + "\n";
    return Failed(Message::kRangeNotSatisfiable);
  }
  answer.header = DownloadHeader(file, answer.range);
  // The server reads a range from the header only, not from the variable.
  answer.handOver = request.server.sendsFiles && conditionHolds &&
                    (headers.range != nullptr || KeyText(request, Key::kRange) == nullptr);
  answer.path = entry.file;
  answer.file = file;
  answer.headerOnly = AsksHeaderOnly(headers);
  return {};
}

// A time window of the capture ("from", "to") rather than its bytes.
Status DownloadWindow(const Request& request, ResponseBody& body) {
  TimeWindow window;
  if (Status read = ReadTimeWindow(request, window); !read.ok()) return read;
  LedgerEntry entry;
  int fd = -1;
  struct stat info {};
  if (Status opened = OpenNamedCapture(request, entry, fd, info); !opened.ok()) return opened;
  return AnswerWindow(body, fd, entry.mac, window, AsksHeaderOnly(request.headers));
}

// The packets of the capture that pass the request's filter, within its
// window where it names one: the extraction's answer of one capture.
Status DownloadFiltered(const Request& request, ResponseBody& body) {
  TimeWindow window;
  if (Status read = ReadTimeWindow(request, window); !read.ok()) return read;
  std::string filter;
  if (Status read = ReadFilter(request, filter); !read.ok()) return read;
  LedgerEntry entry;
  int fd = -1;
  struct stat info {};
  if (Status opened = OpenNamedCapture(request, entry, fd, info); !opened.ok()) return opened;
  const std::optional<PacketSpan> span = FindPacketSpan(fd, static_cast<uint64_t>(info.st_size));
  if (!span || !window.Meets(span->first, span->last)) {
    close(fd);
    NoteNoPackets(body, span ? span->first : -1, span ? span->last : -1);
    return Failed(Message::kNoPacketsInWindow);
  }
  return AnswerMerged(request, body, {fd}, entry.mac, window, filter);
}

}  // namespace

Status DownloadCapture(const Request& request, ResponseBody& body) {
  if (AsksForFilter(request)) return DownloadFiltered(request, body);
  if (AsksForWindow(request)) return DownloadWindow(request, body);
  FileAnswer answer;
  Status prepared = PrepareFileAnswer(request, answer, body.headers, body.audit);
  if (prepared.ok()) {
    int64_t* sent = &body.audit.bytes;
    body.writer = [answer, sent](FILE* stream) { WriteFileAnswer(stream, answer, *sent); };
  }
  return prepared;
}
