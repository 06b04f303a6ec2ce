#pragma once
// A fresh contest in a temporary HOME for each test, and direct SQL on its connection.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "store/database.h"
#include "store/operations.h"

class ContestTest : public ::testing::Test {
 protected:
  std::filesystem::path home;

  void SetUp() override {
    char pattern[] = "/tmp/tallywell-scoring-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home = pattern;
    // The Desktop must come from the temporary HOME, never from a user-dirs file elsewhere.
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(create_contest("Scoring"), "");
  }

  void TearDown() override {
    close_database();
    std::filesystem::remove_all(home);
  }

  static void exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(contest_db, sql.c_str(), nullptr, nullptr, &message);
    ASSERT_EQ(rc, SQLITE_OK) << (message ? message : "") << "\n" << sql;
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
