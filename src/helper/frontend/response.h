// The response: the result node every command writes, and the envelope.
#ifndef VELORANTIS_HELPER_FRONTEND_RESPONSE_H_
#define VELORANTIS_HELPER_FRONTEND_RESPONSE_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "helper/frontend/audit_note.h"
#include "shared/status.h"

// Texts written one after another as they stand.
using TextPieces = std::vector<std::string>;

// Writes a whole answer that is not the JSON document, header included.
using ResponseWriter = std::function<void(FILE* stream)>;

// How a command's answer is shaped around its outcome.
enum class AnswerForm : uint8_t {
  kResultFirst,  // the result node, then the handler's nodes
  kResultLast,   // the handler's nodes, then the result node
  kHttpStatus,   // the handler's own answer; a failure is the result node
                 // with the message's HTTP status (HttpStatusOf)
  kPlainText,    // the handler's text; a failure is "503 Service
                 // Unavailable" with the message as plain text
};

// The body of one answer: `lead`, the handler's text, then `tail`. Only the
// status command fills `tail`: its statistics go out in the blocks they
// were built in, never copied into one string.
// A handler whose answer is not JSON sets `contentType`: the response is
// then that header, `text` and `tail` as they stand, without the envelope,
// and with `status` (e.g. "503 Service Unavailable") when one is set.
struct ResponseBody {
  std::string lead;
  std::string text;
  TextPieces tail;
  const char* contentType = nullptr;
  const char* status = nullptr;
  // Header lines, each ending in a line feed, written before the content
  // type; a Status line, when there is one, first. Empty for an answer with
  // the server's status 200.
  std::string headers;
  // Nodes a failed answer keeps after its result node, with ",\n" between
  // (the capture's packet times beside "No packets in that time range").
  std::string failureNodes;
  // Set by a handler that answers with its own header and body: then it
  // alone writes the answer, and nothing above is written.
  ResponseWriter writer;
  // What the audit trail records of the request; a writer that sends a
  // download adds the bytes it sent.
  AuditNote audit;
};

// Appends the result node: "result": N, a line feed, "message": "TEXT", with
// no separator or line feed after it. Result 0 goes with an empty message.
void PrintResultNode(std::string& out, int result, std::string message);

// Completes `body` with `outcome` in `form`. A success places the result
// node (0, "") before or after what the handler wrote, with ",\n" between
// them. A failure drops what the handler wrote but its extra header lines
// and its failure nodes, answers with the message and those, and notes the failure and its cause
// for the failure log (NoteFailedAnswer, RecordFailureCause).
void FinishAnswer(ResponseBody& body, AnswerForm form, const Status& outcome);

// Writes the whole CGI response to `stream`: the header and its empty line
// (flushed), then {"root": { and a line feed, `body` unchanged, and }} with a
// line feed; `body.headers` come first. For a body with its own content type:
// the Status header when set, that Content-type and the empty line, then
// `body` alone. When `body.writer` is set, only what it writes.
void WriteResponse(FILE* stream, const ResponseBody& body);

// Writes the whole response of a request that ran out of memory (result -1,
// "Not enough memory") from fixed text, allocating nothing.
void WriteOutOfMemoryResponse(FILE* stream);

#endif  // VELORANTIS_HELPER_FRONTEND_RESPONSE_H_
