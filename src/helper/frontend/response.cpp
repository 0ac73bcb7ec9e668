#include "helper/frontend/response.h"

#include "helper/frontend/failure_log.h"
#include "helper/frontend/json_text.h"

void PrintResultNode(std::string& out, int result, std::string message) {
  AppendNumberMember(out, "result", result);
  out += ",\n\"message\": \"";
  WriteJsonText(out, message);
  out += '"';
}

void WriteOutcome(std::string& out, const char* failure, int failureResult) {
  if (failure == nullptr) {
    PrintResultNode(out, 0, "");
  } else {
    NoteFailedAnswer(failureResult, failure);
    PrintResultNode(out, failureResult, failure);
  }
}

namespace {

void WriteBody(FILE* stream, const ResponseBody& body) {
  fwrite(body.text.data(), 1, body.text.size(), stream);
  for (const std::string& piece : body.tail) fwrite(piece.data(), 1, piece.size(), stream);
}

}  // namespace

void WriteResponse(FILE* stream, const ResponseBody& body) {
  if (body.writer) {
    body.writer(stream);
    return;
  }
  if (body.contentType != nullptr) {
    if (body.status != nullptr) fprintf(stream, "Status: %s\n", body.status);
    fprintf(stream, "Content-type: %s\n\n", body.contentType);
    WriteBody(stream, body);
    fflush(stream);
    return;
  }
  fwrite(body.headers.data(), 1, body.headers.size(), stream);
  fputs("Content-type: application/json\n\n", stream);
  fflush(stream);
  fputs("{\"root\": {\n", stream);
  WriteBody(stream, body);
  fputs("}}\n", stream);
  fflush(stream);
}

void WriteOutOfMemoryResponse(FILE* stream) {
  fputs("Content-type: application/json\n\n", stream);
  fflush(stream);
  fputs("{\"root\": {\n\"result\": -1,\n\"message\": \"Not enough memory\"}}\n", stream);
  fflush(stream);
}
