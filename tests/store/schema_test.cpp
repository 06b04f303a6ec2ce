// The rules the contest database enforces by itself: numbering, limits, team sizes, keys.
#include <gtest/gtest.h>

#include "shell/contest_dialog.h"
#include "store/operations.h"
#include "store/patterns.h"
#include "support/temp_home.h"

namespace {
const std::string S(1, FIELD_SEPARATOR);

// Runs one statement; true when SQLite accepted it.
bool sql(const std::string& text) {
  return sqlite3_exec(contest_db, text.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}
std::string value(const std::string& query) { return run_fetch(query.c_str()); }
}  // namespace

class Schema : public ::testing::Test {
 protected:
  TempHome home;
  void SetUp() override {
    install_desktop_hooks();
    ASSERT_EQ(create_contest("Schema"), "");
  }
};

TEST_F(Schema, DivisionsAreNumberedByIdAndLimitedToNine) {
  ASSERT_TRUE(sql("INSERT INTO divisions (name) VALUES ('D1');"));
  EXPECT_EQ(value("SELECT id, number FROM divisions;"), "1" + S + "1000");
  for (int i = 2; i <= 9; ++i) ASSERT_TRUE(sql("INSERT INTO divisions (name) VALUES ('D" + std::to_string(i) + "');"));
  EXPECT_FALSE(sql("INSERT INTO divisions (name) VALUES ('D10');"));
  ASSERT_TRUE(sql("DELETE FROM divisions WHERE id < 9;"));
  EXPECT_FALSE(sql("INSERT INTO divisions (name) VALUES ('again');"));  // id 9 still present
  ASSERT_TRUE(sql("DELETE FROM divisions WHERE id = 9;"));
  ASSERT_TRUE(sql("INSERT INTO divisions (name) VALUES ('fresh');"));
  EXPECT_EQ(value("SELECT number FROM divisions;"), "1000");
}

TEST_F(Schema, NamesMustNotBeEmptyAndAreCaseSensitive) {
  EXPECT_FALSE(sql("INSERT INTO divisions (name) VALUES ('');"));
  EXPECT_TRUE(sql("INSERT INTO divisions (name) VALUES ('   ');"));
  EXPECT_TRUE(sql("INSERT INTO divisions (name) VALUES ('junior');"));
  EXPECT_TRUE(sql("INSERT INTO divisions (name) VALUES ('Junior');"));
  EXPECT_FALSE(sql("INSERT INTO divisions (name) VALUES ('Junior');"));
  EXPECT_FALSE(sql("INSERT INTO class_types (name) VALUES ('');"));
  EXPECT_FALSE(sql("INSERT INTO divisions (name, team_size) VALUES ('typed', 'four');"));  // STRICT
}

TEST_F(Schema, TeamNumbersStepByTenFromTheHighestAndStopAt990) {
  ASSERT_TRUE(sql("INSERT INTO divisions (name) VALUES ('A'), ('B');"));
  for (int i = 1; i <= 99; ++i)
    ASSERT_TRUE(sql("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'T" + std::to_string(i) + "');"));
  EXPECT_EQ(value("SELECT MIN(number), MAX(number) FROM teams;"), "1010" + S + "1990");
  EXPECT_FALSE(sql("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'T100');"));
  ASSERT_TRUE(sql("DELETE FROM teams WHERE number = 1010;"));
  EXPECT_FALSE(sql("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'gap');"));  // gaps are never filled
  ASSERT_TRUE(sql("INSERT INTO teams (division_no, type, name) VALUES (2000, 'Group', 'T1');"));
  EXPECT_EQ(value("SELECT number FROM teams WHERE division_no = 2000;"), "2010");
  ASSERT_TRUE(sql("DELETE FROM teams WHERE number = 1990;"));
  ASSERT_TRUE(sql("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'last');"));
  EXPECT_EQ(value("SELECT number FROM teams WHERE name = 'last';"), "1990");
  EXPECT_FALSE(sql("INSERT INTO teams (division_no, type, name) VALUES (5000, 'Group', 'orphan');"));  // foreign key
}

TEST_F(Schema, ContestantNumbersStepByOneUpToNine) {
  ASSERT_TRUE(sql("INSERT INTO divisions (name) VALUES ('A');"));
  ASSERT_TRUE(sql("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'G');"));
  for (int i = 1; i <= 9; ++i)
    ASSERT_TRUE(sql("INSERT INTO contestants (team_no, name) VALUES (1010, 'C" + std::to_string(i) + "');"));
  EXPECT_EQ(value("SELECT MIN(number), MAX(number) FROM contestants;"), "1011" + S + "1019");
  EXPECT_FALSE(sql("INSERT INTO contestants (team_no, name) VALUES (1010, 'C10');"));
  ASSERT_TRUE(sql("DELETE FROM contestants WHERE number = 1013;"));
  EXPECT_FALSE(sql("INSERT INTO contestants (team_no, name) VALUES (1010, 'C10');"));
  EXPECT_FALSE(sql("INSERT INTO contestants (team_no, name) VALUES (1020, 'nowhere');"));
}

TEST_F(Schema, TeamsOfTypeTeamNeedADivisionTeamSize) {
  ASSERT_TRUE(sql("INSERT INTO divisions (name) VALUES ('NoSize');"));
  EXPECT_FALSE(sql("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Team', 'T');"));
  ASSERT_TRUE(sql("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'G');"));
  EXPECT_FALSE(sql("UPDATE teams SET type = 'Team' WHERE number = 1010;"));
  ASSERT_TRUE(sql("UPDATE divisions SET team_size = 3 WHERE number = 1000;"));
  ASSERT_TRUE(sql("UPDATE teams SET type = 'Team' WHERE number = 1010;"));
  EXPECT_FALSE(sql("UPDATE divisions SET team_size = NULL WHERE number = 1000;"));
  ASSERT_TRUE(sql("UPDATE divisions SET team_size = 4 WHERE number = 1000;"));
  ASSERT_TRUE(sql("UPDATE teams SET type = 'Group' WHERE number = 1010;"));
  EXPECT_TRUE(sql("UPDATE divisions SET team_size = NULL WHERE number = 1000;"));
  EXPECT_EQ(value("SELECT team_size FROM divisions;"), "");
  EXPECT_FALSE(sql("INSERT INTO teams (division_no, type, name) VALUES (7000, 'Team', 'ghost');"));
}

TEST_F(Schema, OneContestRowAndOnePlacingPerContestantAndClass) {
  EXPECT_EQ(value("SELECT id, name, scored_at FROM contest;"), "1" + S + "Schema" + S + "2020-01-01 00:00:00");
  EXPECT_FALSE(sql("INSERT INTO contest (name, scored_at) VALUES ('second', 'x');"));
  ASSERT_TRUE(sql("INSERT INTO divisions (name) VALUES ('A');"));
  ASSERT_TRUE(sql("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'G');"));
  ASSERT_TRUE(sql("INSERT INTO contestants (team_no, name) VALUES (1010, 'C');"));
  ASSERT_TRUE(sql("INSERT INTO class_types (name) VALUES ('T');"));
  ASSERT_TRUE(sql("INSERT INTO classes (type_id, name, timestamp) VALUES (1, 'K1', 'now'), (1, 'K2', 'now');"));
  ASSERT_TRUE(sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) VALUES (1, 1011, 1234, 'now');"));
  EXPECT_FALSE(sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) VALUES (1, 1011, 4321, 'now');"));
  EXPECT_TRUE(sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) VALUES (2, 1011, 4321, 'now');"));
  EXPECT_FALSE(sql("DELETE FROM contestants WHERE number = 1011;"));
  EXPECT_FALSE(sql("DELETE FROM classes WHERE id = 1;"));
  EXPECT_FALSE(sql("DELETE FROM class_types WHERE id = 1;"));
  EXPECT_FALSE(sql("DELETE FROM divisions WHERE number = 1000;"));
  ASSERT_TRUE(sql("DELETE FROM placings; DELETE FROM contestants; DELETE FROM teams;"));
  EXPECT_TRUE(sql("DELETE FROM divisions WHERE number = 1000;"));
}

TEST_F(Schema, TheFileIsInWalModeWithForeignKeysOn) {
  EXPECT_EQ(value("PRAGMA journal_mode;"), "wal");
  EXPECT_EQ(value("PRAGMA foreign_keys;"), "1");
  EXPECT_EQ(value("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger';"), "8");
  EXPECT_EQ(value("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table';"), "7");
}
