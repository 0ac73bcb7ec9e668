#include "helper/frontend/response.h"

#include "helper/frontend/json_text.h"

void PrintResultNode(std::string& out, int result, std::string message) {
  out += "\"result\": ";
  AppendDecimal(out, result);
  out += ",\n\"message\": \"";
  WriteJsonText(out, message);
  out += '"';
}

void WriteResponse(FILE* stream, const std::string& body) {
  fputs("Content-type: application/json\n\n", stream);
  fflush(stream);
  fputs("{\"root\": {\n", stream);
  fwrite(body.data(), 1, body.size(), stream);
  fputs("}}\n", stream);
  fflush(stream);
}
