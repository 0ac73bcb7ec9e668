// Transactions, the one way every database of the program and the status
// daemon's stand-in runs them.
#ifndef VELORANTIS_SHARED_TRANSACTION_H_
#define VELORANTIS_SHARED_TRANSACTION_H_

#include <sqlite3.h>

#include <cstdint>
#include <utility>

#include "shared/status.h"

// Each step is one statement on `db`, an open connection the caller keeps
// owning. kBeginWrite takes the write lock at once (BEGIN IMMEDIATE), so that
// what a writer checks stays true until it commits.
enum class TransactionStep : uint8_t { kBegin, kBeginWrite, kCommit, kRollback };

// Runs `step` on `db`. Fails with `failed` (kNotEnoughMemory when memory ran
// out) and SQLite's cause.
Status RunTransactionStep(sqlite3* db, TransactionStep step, Message failed);

// Runs `body` (returning a Status) inside one transaction that `begin`
// (kBegin or kBeginWrite) opens: committed when it succeeds, else rolled
// back, as is a commit that fails. The first failure is the outcome: what
// fails after it follows from it.
template <typename Body>
Status InTransaction(sqlite3* db, TransactionStep begin, Message failed, Body&& body) {
  if (Status begun = RunTransactionStep(db, begin, failed); !begun.ok()) return begun;
  Status outcome = std::forward<Body>(body)();
  if (outcome.ok()) outcome = RunTransactionStep(db, TransactionStep::kCommit, failed);
  if (!outcome.ok()) {
    // The outcome is decided: a rollback that fails too leaves the
    // transaction to the connection's close, which rolls it back.
    static_cast<void>(RunTransactionStep(db, TransactionStep::kRollback, failed));
  }
  return outcome;
}

// Writes the line the status daemon's log readers know a failed step of a
// status database transaction by to standard error, never standard output,
// where it would stand ahead of the CGI header:
//   shared:124 - Velorantis Daemon : Failed to start transaction (CAUSE)
// with 139 "commit" and 154 "rollback" for the other two steps, CAUSE being
// `failure`'s cause.
void LogTransactionFailure(TransactionStep step, const Status& failure);

// Runs `step` for a reader of the status database, whose answer its
// transaction's own steps never decide: a step that fails is logged
// (LogTransactionFailure) and succeeds, unless memory ran out.
Status RunLoggedStep(sqlite3* db, TransactionStep step, Message failed);

// As InTransaction (kBegin) for a reader of the status database, each step
// run as RunLoggedStep: the reads run even when BEGIN failed, and a commit
// that fails keeps what they read.
template <typename Body>
Status InReadTransaction(sqlite3* db, Message failed, Body&& body) {
  if (Status begun = RunLoggedStep(db, TransactionStep::kBegin, failed); !begun.ok()) return begun;
  Status outcome = std::forward<Body>(body)();
  const TransactionStep end = outcome.ok() ? TransactionStep::kCommit : TransactionStep::kRollback;
  Status ended = RunLoggedStep(db, end, failed);
  return outcome.ok() ? ended : outcome;
}

#endif  // VELORANTIS_SHARED_TRANSACTION_H_
