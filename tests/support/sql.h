#pragma once
// SQL straight on the open contest's connection, beside the operations: for states no
// operation makes and for columns no fetch returns. Raw SQLite calls, so that what a test
// sees does not pass through the store's own statement helpers.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "store/database.h"
#include "store/fields.h"

// Runs every statement of the text; true when SQLite accepted them all.
inline bool accepted(const std::string& sql, std::string* message = nullptr) {
  char* error = nullptr;
  const int rc = sqlite3_exec(contest_db, sql.c_str(), nullptr, nullptr, &error);
  if (message) *message = error ? error : "";
  sqlite3_free(error);
  return rc == SQLITE_OK;
}

// Runs SQL that must succeed.
inline void execute(const std::string& sql) {
  std::string message;
  ASSERT_TRUE(accepted(sql, &message)) << message << "\n" << sql;
}

// Every row of one statement flattened as a fetch answers it: each column's text (NULL as
// ""), a separator between every two.
inline std::string query(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  std::string result;
  int rc = sqlite3_prepare_v2(contest_db, sql.c_str(), -1, &stmt, nullptr);
  bool first = true;
  while (stmt && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      if (!first) result += FIELD_SEPARATOR;
      first = false;
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
      if (text) result.append(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
    }
  }
  if (rc != SQLITE_DONE) {
    ADD_FAILURE() << sqlite3_errmsg(contest_db) << "\n" << sql;
    result = "<failed>";
  }
  sqlite3_finalize(stmt);
  return result;
}

inline bool in_transaction() { return sqlite3_get_autocommit(contest_db) == 0; }

// 1 for each row whose stamp is the local time now (within a few seconds), else 0.
inline const std::string STAMPED_NOW = "ABS(strftime('%s', timestamp) - strftime('%s', 'now', 'localtime')) <= 5";

// Every row of every table, time stamps included: equal before and after means unchanged.
inline std::string database_snapshot() {
  std::string all;
  for (const char* table : {"contest", "divisions", "teams", "contestants", "class_types", "classes", "placings"})
    all += std::string(table) + ":" + query(std::string("SELECT * FROM ") + table + " ORDER BY id;") + "\n";
  return all;
}

// A connection of its own to a contest file, as another program would have it.
struct OtherProgram {
  sqlite3* db = nullptr;
  int opened;
  explicit OtherProgram(const std::string& file) : opened(sqlite3_open(file.c_str(), &db)) {}
  ~OtherProgram() { sqlite3_close(db); }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;
  int exec(const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }
};
