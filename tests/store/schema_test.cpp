// The rules the contest database enforces by itself: numbering, limits, team sizes, keys.
#include "tests/support/contest_fixture.h"

namespace {
const std::string S(1, FIELD_SEPARATOR);
}  // namespace

class Schema : public ContestTest {};

TEST_F(Schema, DivisionsAreNumberedByIdAndLimitedToNine) {
  ASSERT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('D1');"));
  EXPECT_EQ(query("SELECT id, number FROM divisions;"), "1" + S + "1000");
  for (int i = 2; i <= 9; ++i) ASSERT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('D" + std::to_string(i) + "');"));
  EXPECT_FALSE(accepted("INSERT INTO divisions (name) VALUES ('D10');"));
  ASSERT_TRUE(accepted("DELETE FROM divisions WHERE id < 9;"));
  EXPECT_FALSE(accepted("INSERT INTO divisions (name) VALUES ('again');"));  // id 9 still present
  ASSERT_TRUE(accepted("DELETE FROM divisions WHERE id = 9;"));
  ASSERT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('fresh');"));
  EXPECT_EQ(query("SELECT number FROM divisions;"), "1000");
}

TEST_F(Schema, NamesMustNotBeEmptyAndAreCaseSensitive) {
  EXPECT_FALSE(accepted("INSERT INTO divisions (name) VALUES ('');"));
  EXPECT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('   ');"));
  EXPECT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('junior');"));
  EXPECT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('Junior');"));
  EXPECT_FALSE(accepted("INSERT INTO divisions (name) VALUES ('Junior');"));
  EXPECT_FALSE(accepted("INSERT INTO class_types (name) VALUES ('');"));
  EXPECT_FALSE(accepted("INSERT INTO divisions (name, team_size) VALUES ('typed', 'four');"));  // STRICT
}

TEST_F(Schema, TeamNumbersStepByTenFromTheHighestAndStopAt990) {
  ASSERT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('A'), ('B');"));
  for (int i = 1; i <= 99; ++i)
    ASSERT_TRUE(accepted("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'T" + std::to_string(i) + "');"));
  EXPECT_EQ(query("SELECT MIN(number), MAX(number) FROM teams;"), "1010" + S + "1990");
  EXPECT_FALSE(accepted("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'T100');"));
  ASSERT_TRUE(accepted("DELETE FROM teams WHERE number = 1010;"));
  EXPECT_FALSE(accepted("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'gap');"));  // gaps are never filled
  ASSERT_TRUE(accepted("INSERT INTO teams (division_no, type, name) VALUES (2000, 'Group', 'T1');"));
  EXPECT_EQ(query("SELECT number FROM teams WHERE division_no = 2000;"), "2010");
  ASSERT_TRUE(accepted("DELETE FROM teams WHERE number = 1990;"));
  ASSERT_TRUE(accepted("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'last');"));
  EXPECT_EQ(query("SELECT number FROM teams WHERE name = 'last';"), "1990");
  EXPECT_FALSE(accepted("INSERT INTO teams (division_no, type, name) VALUES (5000, 'Group', 'orphan');"));  // foreign key
}

TEST_F(Schema, ContestantNumbersStepByOneUpToNine) {
  ASSERT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('A');"));
  ASSERT_TRUE(accepted("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'G');"));
  for (int i = 1; i <= 9; ++i)
    ASSERT_TRUE(accepted("INSERT INTO contestants (team_no, name) VALUES (1010, 'C" + std::to_string(i) + "');"));
  EXPECT_EQ(query("SELECT MIN(number), MAX(number) FROM contestants;"), "1011" + S + "1019");
  EXPECT_FALSE(accepted("INSERT INTO contestants (team_no, name) VALUES (1010, 'C10');"));
  ASSERT_TRUE(accepted("DELETE FROM contestants WHERE number = 1013;"));
  EXPECT_FALSE(accepted("INSERT INTO contestants (team_no, name) VALUES (1010, 'C10');"));
  EXPECT_FALSE(accepted("INSERT INTO contestants (team_no, name) VALUES (1020, 'nowhere');"));
}

TEST_F(Schema, TeamsOfTypeTeamNeedADivisionTeamSize) {
  ASSERT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('NoSize');"));
  EXPECT_FALSE(accepted("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Team', 'T');"));
  ASSERT_TRUE(accepted("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'G');"));
  EXPECT_FALSE(accepted("UPDATE teams SET type = 'Team' WHERE number = 1010;"));
  ASSERT_TRUE(accepted("UPDATE divisions SET team_size = 3 WHERE number = 1000;"));
  ASSERT_TRUE(accepted("UPDATE teams SET type = 'Team' WHERE number = 1010;"));
  EXPECT_FALSE(accepted("UPDATE divisions SET team_size = NULL WHERE number = 1000;"));
  ASSERT_TRUE(accepted("UPDATE divisions SET team_size = 4 WHERE number = 1000;"));
  ASSERT_TRUE(accepted("UPDATE teams SET type = 'Group' WHERE number = 1010;"));
  EXPECT_TRUE(accepted("UPDATE divisions SET team_size = NULL WHERE number = 1000;"));
  EXPECT_EQ(query("SELECT team_size FROM divisions;"), "");
  EXPECT_FALSE(accepted("INSERT INTO teams (division_no, type, name) VALUES (7000, 'Team', 'ghost');"));
}

TEST_F(Schema, OneContestRowAndOnePlacingPerContestantAndClass) {
  EXPECT_EQ(query("SELECT id, name, scored_at FROM contest;"), "1" + S + "Test Contest" + S + "2020-01-01 00:00:00");
  EXPECT_FALSE(accepted("INSERT INTO contest (name, scored_at) VALUES ('second', 'x');"));
  ASSERT_TRUE(accepted("INSERT INTO divisions (name) VALUES ('A');"));
  ASSERT_TRUE(accepted("INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'G');"));
  ASSERT_TRUE(accepted("INSERT INTO contestants (team_no, name) VALUES (1010, 'C');"));
  ASSERT_TRUE(accepted("INSERT INTO class_types (name) VALUES ('T');"));
  ASSERT_TRUE(accepted("INSERT INTO classes (type_id, name, timestamp) VALUES (1, 'K1', 'now'), (1, 'K2', 'now');"));
  ASSERT_TRUE(accepted("INSERT INTO placings (class_id, contestant_no, placing, timestamp) VALUES (1, 1011, 1234, 'now');"));
  EXPECT_FALSE(accepted("INSERT INTO placings (class_id, contestant_no, placing, timestamp) VALUES (1, 1011, 4321, 'now');"));
  EXPECT_TRUE(accepted("INSERT INTO placings (class_id, contestant_no, placing, timestamp) VALUES (2, 1011, 4321, 'now');"));
  EXPECT_FALSE(accepted("DELETE FROM contestants WHERE number = 1011;"));
  EXPECT_FALSE(accepted("DELETE FROM classes WHERE id = 1;"));
  EXPECT_FALSE(accepted("DELETE FROM class_types WHERE id = 1;"));
  EXPECT_FALSE(accepted("DELETE FROM divisions WHERE number = 1000;"));
  ASSERT_TRUE(accepted("DELETE FROM placings; DELETE FROM contestants; DELETE FROM teams;"));
  EXPECT_TRUE(accepted("DELETE FROM divisions WHERE number = 1000;"));
}

TEST_F(Schema, TheFileIsInWalModeWithForeignKeysOn) {
  EXPECT_EQ(query("PRAGMA journal_mode;"), "wal");
  EXPECT_EQ(query("PRAGMA foreign_keys;"), "1");
  EXPECT_EQ(query("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger';"), "8");
  EXPECT_EQ(query("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table';"), "7");
}
