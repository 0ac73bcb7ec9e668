#include "helper/frontend/response.h"

#include "helper/frontend/failure_log.h"
#include "helper/frontend/json_text.h"

void PrintResultNode(std::string& out, int result, std::string message) {
  AppendNumberMember(out, "result", result);
  out += ",\n\"message\": \"";
  WriteJsonText(out, message);
  out += '"';
}

void FinishAnswer(ResponseBody& body, AnswerForm form, const Status& outcome) {
  if (outcome.ok()) {
    if (form == AnswerForm::kResultFirst) {
      PrintResultNode(body.lead, 0, "");
      if (!body.text.empty()) body.lead += ",\n";
    } else if (form == AnswerForm::kResultLast) {
      PrintResultNode(body.text, 0, "");
    }
    return;
  }
  const std::string message = AnswerText(outcome);
  const int result = ResultOf(outcome.message);
  if (!outcome.cause.empty()) RecordFailureCause(outcome.cause);
  NoteFailedAnswer(result, message.c_str());
  std::string headers = std::move(body.headers);
  std::string nodes = std::move(body.failureNodes);
  body = ResponseBody{};
  if (form == AnswerForm::kPlainText) {
    body.status = "503 Service Unavailable";
    body.contentType = "text/plain; charset=utf-8";
    body.text = message;
    body.text += '\n';
    return;
  }
  if (form == AnswerForm::kHttpStatus) {
    body.headers = "Status: ";
    body.headers += HttpStatusOf(outcome.message);
    body.headers += '\n';
    body.headers += headers;
  }
  PrintResultNode(body.text, result, message);
  if (!nodes.empty()) body.text += ",\n" + nodes;
}

namespace {

void WriteBody(FILE* stream, const ResponseBody& body) {
  fwrite(body.lead.data(), 1, body.lead.size(), stream);
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
