#pragma once
// A fresh contest in a temporary HOME for each test, and direct SQL on its connection.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "shell/contest_dialog.h"
#include "store/database.h"
#include "store/operations.h"
#include "support/temp_home.h"

class ContestTest : public ::testing::Test {
 protected:
  TempHome home;

  void SetUp() override {
    install_desktop_hooks();
    ASSERT_EQ(create_contest("Scoring"), "");
  }

  static void exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(contest_db, sql.c_str(), nullptr, nullptr, &message);
    const std::string reason = message ? message : "";
    sqlite3_free(message);
    ASSERT_EQ(rc, SQLITE_OK) << reason << "\n" << sql;
  }

  // The first column of the first row as text ("" for NULL or no row).
  static std::string text(const std::string& sql) {
    Statement statement = prepare_statement(sql.c_str());
    return statement.step() == SQLITE_ROW ? column_text(statement, 0) : std::string();
  }

  static bool in_transaction() { return sqlite3_get_autocommit(contest_db) == 0; }
};

// Splits a result text at the field separator, keeping every empty field.
inline std::vector<std::string> fields_of(const std::string& result) {
  std::vector<std::string> fields;
  if (result.empty()) return fields;
  std::string::size_type start = 0;
  for (;;) {
    const auto end = result.find('\x1F', start);
    fields.push_back(result.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return fields;
    start = end + 1;
  }
}

using Rows = std::vector<std::vector<std::string>>;

// Cuts a flat result into rows of `width` fields; a count that does not divide is a failure.
inline Rows rows_of(const std::string& result, std::size_t width) {
  const auto fields = fields_of(result);
  EXPECT_EQ(fields.size() % width, 0u) << result;
  Rows rows;
  for (std::size_t i = 0; i + width <= fields.size(); i += width)
    rows.emplace_back(fields.begin() + i, fields.begin() + i + width);
  return rows;
}
