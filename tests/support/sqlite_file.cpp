#include "support/sqlite_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/run_program.h"
#include "support/temp_dir.h"

std::string SchemaPath(const std::string& name) {
  return StagedPath("schema", VELORANTIS_SOURCE_DIR "/schema") + "/" + name;
}

void ExecSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open(path.c_str(), &db);
  char* error = nullptr;
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << (error != nullptr ? error : sqlite3_errmsg(db)) << " in: " << sql;
  sqlite3_free(error);
  sqlite3_close(db);
}

void CreateFromSchema(const std::string& path, const std::string& schemaName) {
  std::string schema = ReadFile(SchemaPath(schemaName));
  ASSERT_FALSE(schema.empty()) << "missing schema " << schemaName;
  ExecSql(path, schema);
}

void RemoveDatabase(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::filesystem::remove(path + suffix);
  }
}

void RecreateDatabase(const std::string& path, const std::string& schemaName) {
  RemoveDatabase(path);
  CreateFromSchema(path, schemaName);
  // A fresh configuration starts a fresh ledger: the program creates the
  // records database beside it when it is missing.
  if (schemaName == "config.sql") {
    RemoveDatabase(std::filesystem::path(path).replace_filename("velorantis-records.db"));
  }
}

std::string QueryText(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  std::string value;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_busy_timeout(db, 2000) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
    if (sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      value = text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
    }
  } else {
    ADD_FAILURE() << sqlite3_errmsg(db) << " in: " << sql;
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return value;
}

void CorruptTablePage(const std::string& path, const std::string& table) {
  long rootPage =
      std::stol(QueryText(path, "SELECT rootpage FROM sqlite_schema WHERE name = '" + table + "'"));
  long pageSize = std::stol(QueryText(path, "PRAGMA page_size"));
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp((rootPage - 1) * pageSize);
  std::string garbage(static_cast<size_t>(pageSize), '\xa5');
  file.write(garbage.data(), pageSize);
  ASSERT_TRUE(file.good()) << "cannot overwrite page " << rootPage << " of " << path;
}

void RecordFileIdentities(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_stmt* select = nullptr;
  std::string updates;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT id, file FROM captures WHERE fileino = 0", -1, &select,
                         nullptr) == SQLITE_OK) {
    while (sqlite3_step(select) == SQLITE_ROW) {
      struct stat info {};
      const auto* file = reinterpret_cast<const char*>(sqlite3_column_text(select, 1));
      if (lstat(file, &info) != 0 || !S_ISREG(info.st_mode)) continue;
      updates += "UPDATE captures SET filedev = " + std::to_string(info.st_dev) +
                 ", fileino = " + std::to_string(info.st_ino) +
                 " WHERE id = " + std::to_string(sqlite3_column_int64(select, 0)) + ";";
    }
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  if (!updates.empty()) ExecSql(path, updates);
}
