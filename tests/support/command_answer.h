// Runs one command's handler in this process and completes its answer as the
// dispatcher does, for the tests that look at a handler's answer directly.
#ifndef VELORANTIS_TESTS_SUPPORT_COMMAND_ANSWER_H_
#define VELORANTIS_TESTS_SUPPORT_COMMAND_ANSWER_H_

#include <string>

#include "helper/command_table.h"

// The request of query string `query` alone: its keys, no login, no roles
// file, no header fields.
inline Request RequestOfQuery(const std::string& query) {
  QueryMap map;
  ParsePairs(query.c_str(), map);
  return RequestOf(map);
}

// Runs command `name` of `request` into `body` (RunCommand), whose `text`
// then holds the whole answer body (lead, text and tail). Returns the
// answer's result: 0, or the failure's.
inline int AnswerOf(const char* name, const Request& request, ResponseBody& body) {
  const Status outcome = RunCommand(*FindCommand(name), request, body);
  body.text.insert(0, body.lead);
  body.lead.clear();
  for (const std::string& piece : body.tail) body.text += piece;
  body.tail.clear();
  return outcome.ok() ? 0 : ResultOf(outcome.message);
}

#endif  // VELORANTIS_TESTS_SUPPORT_COMMAND_ANSWER_H_
