// The status command run in-process against a status database built from the
// shipped schema in a scratch directory.
#ifndef VELORANTIS_TESTS_UNIT_STATUS_FIXTURE_H_
#define VELORANTIS_TESTS_UNIT_STATUS_FIXTURE_H_

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "helper/frontend/request_vars.h"
#include "helper/status/status_command.h"
#include "support/command_answer.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

inline const std::string kStatusSuccess = "\"result\": 0,\n\"message\": \"\"";

// The whole output of a failed status command.
inline std::string StatusFailure(const std::string& message) {
  return "\"result\": -1,\n\"message\": \"" + message + "\"";
}

// The handler's output as the JSON object the front end wraps it in; fails
// the test when it does not parse.
inline nlohmann::json ParseStatus(const std::string& out) {
  nlohmann::json document = nlohmann::json::parse("{" + out + "}", nullptr, false);
  EXPECT_FALSE(document.is_discarded()) << "not JSON: " << out;
  return document;
}

class StatusTest : public testing::Test {
 protected:
  // The ledger status consults is this test's own, not the end-to-end
  // tests' that may run beside it.
  void SetUp() override {
    CreateFromSchema(db_, "status.sql");
    program_paths.configDb = configDb_.c_str();
  }
  void TearDown() override { program_paths = {}; }

  void Exec(const std::string& sql) const { ExecSql(db_, sql); }

  // Runs the status command for the request `query` (as QUERY_STRING would
  // carry it) against `db`; returns its output, and its status in `status`.
  static std::string Status(const std::string& query, const std::string& db, int* status) {
    program_paths.statusDb = db.c_str();
    ResponseBody body;
    *status = AnswerOf("status", RequestOfQuery(query), body);
    return body.text;
  }

  // As above against this test's database, expecting `out` and the status
  // that goes with it to agree.
  std::string Status(const std::string& query) const {
    int status = 0;
    std::string out = Status(query, db_, &status);
    EXPECT_EQ(status, out.compare(0, kStatusSuccess.size(), kStatusSuccess) == 0 ? 0 : -1)
        << query << " gave " << out;
    return out;
  }

  TempDir dir_;
  const std::string db_ = dir_.File("velorantis.db");
  const std::string configDb_ = dir_.File("velorantis-config.db");
};

#endif  // VELORANTIS_TESTS_UNIT_STATUS_FIXTURE_H_
