#pragma once
// Each test gets a new contest in a temporary Desktop of its own, made by the operation
// the page's Create runs, with checks for saves that must succeed and refusals that must
// change nothing.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "store/database.h"
#include "store/failures.h"
#include "tests/support/fields.h"
#include "tests/support/sql.h"
#include "tests/support/temp_home.h"
#include "tests/support/worker.h"

// Creates and opens "Test Contest" on the current HOME's Desktop; answers the operation's result.
inline std::string create_test_contest() {
  close_database();
  return call("create_contest", "Test Contest");
}

class ContestTest : public ::testing::Test {
 protected:
  TempHome home;

  void SetUp() override { ASSERT_EQ(create_test_contest(), ""); }
  void TearDown() override { close_database(); }

  static void expect_ok(const std::string& name, std::initializer_list<std::string> fields) {
    ASSERT_EQ(call(name, join_fields(fields)), "") << name << " " << join_fields(fields);
  }

  // Each command answers `expected` and leaves the whole database as it was.
  static void expect_refused(const Commands& commands, const std::string& expected = CONSISTENCY_ERROR) {
    for (const auto& [name, args] : commands) {
      const std::string before = database_snapshot();
      EXPECT_EQ(call(name, args), expected) << name << " " << args;
      EXPECT_EQ(database_snapshot(), before) << name << " " << args;
    }
  }
};
