#include "shared/transaction.h"

#include <cstdio>

#include "shared/statement.h"

namespace {

struct StepText {
  const char* sql;
  int line;  // the line number the daemon's log readers know each message by
  const char* verb;
};

constexpr StepText kSteps[] = {
    {"BEGIN TRANSACTION;", 124, "start"},
    {"BEGIN IMMEDIATE;", 124, "start"},
    {"COMMIT;", 139, "commit"},
    {"ROLLBACK;", 154, "rollback"},
};

const StepText& TextOf(TransactionStep step) { return kSteps[static_cast<size_t>(step)]; }

}  // namespace

Status RunTransactionStep(sqlite3* db, TransactionStep step, Message failed) {
  return ExecuteScript(db, TextOf(step).sql, failed);
}

void LogTransactionFailure(TransactionStep step, const Status& failure) {
  const StepText& text = TextOf(step);
  // One call, so one write.
  std::fprintf(stderr, "shared:%d - Velorantis Daemon : Failed to %s transaction (%s)\n", text.line,
               text.verb, failure.cause.c_str());
}

Status RunLoggedStep(sqlite3* db, TransactionStep step, Message failed) {
  Status run = RunTransactionStep(db, step, failed);
  if (run.ok() || run.message == Message::kNotEnoughMemory) return run;
  LogTransactionFailure(step, run);
  return {};
}
