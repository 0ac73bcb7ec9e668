// The transaction bracket of the status command: results, and the failure
// lines that go to standard error and never to the response.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "shared/transaction.h"
#include "support/temp_dir.h"

namespace {

using Operation = int (*)(sqlite3*);

struct Status {
  int result;
  std::string out;  // standard output
  std::string err;  // standard error
};

Status Observe(Operation operation, sqlite3* db) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int result = operation(db);
  fflush(stdout);
  Status outcome{result, testing::internal::GetCapturedStdout(), ""};
  outcome.err = testing::internal::GetCapturedStderr();
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
    const Status outcome = Observe(operation, db_);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
  }
}

TEST_F(TransactionTest, FailureLinesGoToStandardErrorOnly) {
  struct Case {
    const char* name;
    Operation setup;  // run first, successfully; may be null
    Operation operation;
    bool nullConnection;
    int result;
    const char* line;
  };
  const Case cases[] = {
      {"begin twice", StartTransaction, StartTransaction, false, SQLITE_ERROR,
       "shared:124 - Velorantis Daemon : Failed to start transaction "
       "(cannot start a transaction within a transaction)\n"},
      {"commit without begin", nullptr, CommitTransaction, false, SQLITE_ERROR,
       "shared:139 - Velorantis Daemon : Failed to commit transaction "
       "(cannot commit - no transaction is active)\n"},
      {"rollback without begin", nullptr, RollbackTransaction, false, SQLITE_ERROR,
       "shared:154 - Velorantis Daemon : Failed to rollback transaction "
       "(cannot rollback - no transaction is active)\n"},
      // No connection, so SQLite gives no error text: the result code's own.
      {"begin on no connection", nullptr, StartTransaction, true, SQLITE_MISUSE,
       "shared:124 - Velorantis Daemon : Failed to start transaction "
       "(bad parameter or other API misuse)\n"},
      {"commit on no connection", nullptr, CommitTransaction, true, SQLITE_MISUSE,
       "shared:139 - Velorantis Daemon : Failed to commit transaction "
       "(bad parameter or other API misuse)\n"},
      {"rollback on no connection", nullptr, RollbackTransaction, true, SQLITE_MISUSE,
       "shared:154 - Velorantis Daemon : Failed to rollback transaction "
       "(bad parameter or other API misuse)\n"},
  };
  for (const Case& c : cases) {
    if (c.setup != nullptr) {
      ASSERT_EQ(c.setup(db_), 0) << c.name;
    }
    const Status outcome = Observe(c.operation, c.nullConnection ? nullptr : db_);
    EXPECT_EQ(outcome.result, c.result) << c.name;
    EXPECT_EQ(outcome.err, c.line) << c.name;
    EXPECT_EQ(outcome.out, "") << c.name;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);  // a clean slate for the next row
  }
}

}  // namespace
