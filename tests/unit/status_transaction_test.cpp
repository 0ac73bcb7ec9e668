// The transaction steps of the status command's reads: results, and the
// failure lines that go to standard error and never to the response.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "shared/transaction.h"
#include "support/temp_dir.h"

namespace {

using Operation = TransactionStep;
constexpr Operation StartTransaction = TransactionStep::kBegin;
constexpr Operation CommitTransaction = TransactionStep::kCommit;
constexpr Operation RollbackTransaction = TransactionStep::kRollback;

struct Observed {
  bool ok;
  std::string out;  // standard output
  std::string err;  // standard error
};

// The step as the status command's reads run it: a failure logged, and
// never the reads' failure.
Observed Observe(Operation operation, sqlite3* db) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const Status step = RunTransactionStep(db, operation, Message::kCannotOpenDatabase);
  const Status logged =
      step.ok() ? step : RunLoggedStep(db, operation, Message::kCannotOpenDatabase);
  fflush(stdout);
  Observed outcome{step.ok(), testing::internal::GetCapturedStdout(), ""};
  outcome.err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(logged.ok());
  return outcome;
}

class TransactionTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sqlite3_open(dir_.File("t.db").c_str(), &db_), SQLITE_OK); }
  void TearDown() override { sqlite3_close(db_); }

  TempDir dir_;
  sqlite3* db_ = nullptr;
};

TEST_F(TransactionTest, SuccessIsSilent) {
  const Operation sequence[] = {StartTransaction, CommitTransaction, StartTransaction,
                                RollbackTransaction};
  for (Operation operation : sequence) {
    const Observed outcome = Observe(operation, db_);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
  }
}

TEST_F(TransactionTest, FailureLinesGoToStandardErrorOnly) {
  struct Case {
    const char* name;
    Operation setup;  // run first, successfully, when `hasSetup`
    bool hasSetup;
    Operation operation;
    bool nullConnection;
    const char* line;  // the line up to the database's path
  };
  const Case cases[] = {
      {"begin twice", StartTransaction, true, StartTransaction, false,
       "shared:124 - Velorantis Daemon : Failed to start transaction "
       "(sqlite \"cannot start a transaction within a transaction\" code 1 (extended 1) at "},
      {"commit without begin",
       {},
       false,
       CommitTransaction,
       false,
       "shared:139 - Velorantis Daemon : Failed to commit transaction "
       "(sqlite \"cannot commit - no transaction is active\" code 1 (extended 1) at "},
      {"rollback without begin",
       {},
       false,
       RollbackTransaction,
       false,
       "shared:154 - Velorantis Daemon : Failed to rollback transaction "
       "(sqlite \"cannot rollback - no transaction is active\" code 1 (extended 1) at "},
      // No connection, so SQLite gives no error text: the result code's own.
      {"begin on no connection",
       {},
       false,
       StartTransaction,
       true,
       "shared:124 - Velorantis Daemon : Failed to start transaction "
       "(sqlite \"bad parameter or other API misuse\" code 21 (extended 21) at "},
      {"commit on no connection",
       {},
       false,
       CommitTransaction,
       true,
       "shared:139 - Velorantis Daemon : Failed to commit transaction "
       "(sqlite \"bad parameter or other API misuse\" code 21 (extended 21) at "},
      {"rollback on no connection",
       {},
       false,
       RollbackTransaction,
       true,
       "shared:154 - Velorantis Daemon : Failed to rollback transaction "
       "(sqlite \"bad parameter or other API misuse\" code 21 (extended 21) at "},
  };
  for (const Case& c : cases) {
    if (c.hasSetup) {
      ASSERT_TRUE(RunTransactionStep(db_, c.setup, Message::kCannotOpenDatabase).ok()) << c.name;
    }
    const Observed outcome = Observe(c.operation, c.nullConnection ? nullptr : db_);
    const std::string path = c.nullConnection ? "" : dir_.File("t.db");
    EXPECT_FALSE(outcome.ok) << c.name;
    EXPECT_EQ(outcome.err.rfind(c.line, 0), 0u) << c.name << ": " << outcome.err;
    EXPECT_TRUE(outcome.err.ends_with(path + ")\n")) << c.name << ": " << outcome.err;
    EXPECT_EQ(outcome.out, "") << c.name;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);  // a clean slate for the next row
  }
}

}  // namespace
