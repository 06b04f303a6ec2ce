#include <gtest/gtest.h>
#include <sqlite3.h>

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "store/failures.h"
#include "store/operations.h"
#include "store/scoring.h"
#include "tests/support/contest_fixture.h"

namespace {
const std::string CLASS_SAVED = "2024-05-01 09:00:00";
const std::string PLACINGS_SAVED = "2024-05-01 09:30:00";
const std::string LAST_PASS = "2024-05-01 10:00:00";

class RescoringTest : public ContestTest {
 protected:
  // Group Solo in division 1000 with Ann 1011, Ben 1012, Cal 1013; class 1 Heifers (1234,
  // cuts 253) and class 2 Steers (no official placing or cuts yet).
  void SetUp() override {
    ContestTest::SetUp();
    execute("INSERT INTO divisions (name, team_size) VALUES ('Junior', 3);"
            "INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'Solo');"
            "INSERT INTO contestants (team_no, name) VALUES (1010, 'Ann'), (1010, 'Ben'), (1010, 'Cal');"
            "INSERT INTO class_types (name) VALUES ('Cattle');"
            "INSERT INTO classes (type_id, name, placing, cuts, timestamp) VALUES"
            " (1, 'Heifers', 1234, 253, '" + CLASS_SAVED + "'),"
            " (1, 'Steers', NULL, NULL, '" + CLASS_SAVED + "');");
  }

  static void add_placing(int id, int class_id, int contestant, int placing, const std::string& reasons,
                          const std::string& stamp) {
    execute("INSERT INTO placings (id, class_id, contestant_no, placing, reasons_score, timestamp) VALUES (" +
            std::to_string(id) + ", " + std::to_string(class_id) + ", " + std::to_string(contestant) + ", " +
            std::to_string(placing) + ", " + reasons + ", '" + stamp + "');");
  }

  // placing_score/total_score of one placing, "" for NULL.
  static std::string scores(int id) {
    return query("SELECT coalesce(placing_score, '') || '/' || coalesce(total_score, '') FROM placings WHERE id = " +
                 std::to_string(id));
  }

  // Stores scores the pass would never compute, to see which placings a pass rewrites.
  static void mark_scores(int id) {
    execute("UPDATE placings SET placing_score = -1, total_score = -1 WHERE id = " + std::to_string(id));
  }

  static void set_scored_at(const std::string& stamp) { execute("UPDATE contest SET scored_at = '" + stamp + "'"); }
  static std::string scored_at() { return query("SELECT scored_at FROM contest"); }
  static std::string now() { return query("SELECT datetime('now', 'localtime')"); }
};

TEST_F(RescoringTest, StoresPlacingAndTotalScores) {
  add_placing(1, 1, 1011, 2134, "NULL", PLACINGS_SAVED);
  add_placing(2, 1, 1012, 2134, "40", PLACINGS_SAVED);
  add_placing(3, 1, 1013, 0, "30", PLACINGS_SAVED);
  // A reasons score can be any 32-bit number: the total must not wrap.
  add_placing(4, 2, 1011, 1234, "2147483647", PLACINGS_SAVED);
  execute("UPDATE classes SET placing = 1234, cuts = 253 WHERE id = 2");

  const std::string before = now();
  rescore_placings();

  EXPECT_EQ(scores(1), "48/48");
  EXPECT_EQ(scores(2), "48/88");
  EXPECT_EQ(scores(3), "0/30");
  EXPECT_EQ(scores(4), "50/2147483697");
  // Scoring records no save: every placing keeps the stamp of its last save.
  EXPECT_EQ(query("SELECT count(*) FROM placings WHERE timestamp = '" + PLACINGS_SAVED + "'"), "4");
  EXPECT_GE(scored_at(), before);
  EXPECT_LE(scored_at(), now());
}

TEST_F(RescoringTest, UnscorableClassKeepsItsScoresUntilItHasPlacingAndCuts) {
  add_placing(1, 2, 1011, 2134, "30", PLACINGS_SAVED);
  rescore_placings();
  EXPECT_EQ(scores(1), "/");

  // Each save of the class below comes after the last pass.
  set_scored_at(LAST_PASS);
  execute("UPDATE classes SET placing = 1234, timestamp = '2024-05-01 10:01:00' WHERE id = 2");
  rescore_placings();
  EXPECT_EQ(scores(1), "/") << "an official placing without cuts scores nothing";

  set_scored_at(LAST_PASS);
  execute("UPDATE classes SET cuts = 253, timestamp = '2024-05-01 10:02:00' WHERE id = 2");
  rescore_placings();
  EXPECT_EQ(scores(1), "48/78");

  // Removing the official placing again leaves the scores as they were.
  set_scored_at(LAST_PASS);
  execute("UPDATE classes SET placing = NULL, timestamp = '2024-05-01 10:03:00' WHERE id = 2");
  rescore_placings();
  EXPECT_EQ(scores(1), "48/78");
}

TEST_F(RescoringTest, NothingChangedWritesNothing) {
  // An empty contest: nothing to compare, nothing written, not even the stamp.
  execute("DELETE FROM classes");
  EXPECT_FALSE(scores_out_of_date("2020-01-01 00:00:00"));
  int changes = sqlite3_total_changes(contest_db);
  rescore_placings();
  EXPECT_EQ(sqlite3_total_changes(contest_db), changes);
  EXPECT_EQ(scored_at(), "2020-01-01 00:00:00");

  execute("INSERT INTO classes (id, type_id, name, placing, cuts, timestamp) VALUES (1, 1, 'Heifers', 1234, 253, '" +
          CLASS_SAVED + "')");
  add_placing(1, 1, 1011, 2134, "NULL", PLACINGS_SAVED);
  rescore_placings();
  changes = sqlite3_total_changes(contest_db);
  rescore_placings();
  EXPECT_EQ(sqlite3_total_changes(contest_db), changes);
}

TEST_F(RescoringTest, EqualStampsCountAsChanged) {
  add_placing(1, 1, 1011, 2134, "NULL", PLACINGS_SAVED);
  add_placing(2, 1, 1012, 2134, "NULL", PLACINGS_SAVED);
  rescore_placings();
  ASSERT_EQ(scores(1), "48/48");

  // The last pass ended in the same second as a later save of placing 1 (now 1324) and of
  // the class (now with cuts 111); placing 2 was saved before the class in that second.
  set_scored_at(LAST_PASS);
  execute("UPDATE placings SET placing = 1324, timestamp = '" + LAST_PASS + "' WHERE id = 1");
  execute("UPDATE placings SET timestamp = '" + LAST_PASS + "' WHERE id = 2");
  EXPECT_FALSE(scores_out_of_date(LAST_PASS + "x")) << "a later stamp is not out of date";
  EXPECT_TRUE(scores_out_of_date(LAST_PASS));
  rescore_placings();
  EXPECT_EQ(scores(1), "45/45");

  set_scored_at(LAST_PASS);
  execute("UPDATE classes SET cuts = 111, timestamp = '" + LAST_PASS + "' WHERE id = 1");
  rescore_placings();
  EXPECT_EQ(scores(1), "49/49");
  EXPECT_EQ(scores(2), "49/49");
}

TEST_F(RescoringTest, SelectsOnlyPlacingsThatMayHaveChanged) {
  add_placing(1, 1, 1011, 2134, "NULL", PLACINGS_SAVED);
  add_placing(2, 1, 1012, 2134, "NULL", PLACINGS_SAVED);
  add_placing(3, 2, 1013, 2134, "NULL", PLACINGS_SAVED);
  execute("UPDATE classes SET placing = 1234, cuts = 253 WHERE id = 2");
  rescore_placings();
  set_scored_at(LAST_PASS);
  for (int id : {1, 2, 3}) mark_scores(id);

  // Placing 2 saved since the last pass: only it is rescored.
  execute("UPDATE placings SET reasons_score = 20, timestamp = '2024-05-01 10:01:00' WHERE id = 2");
  rescore_placings();
  EXPECT_EQ(scores(1), "-1/-1");
  EXPECT_EQ(scores(2), "48/68");
  EXPECT_EQ(scores(3), "-1/-1");

  // Class 1's official placing changed: every placing of class 1 saved before it is rescored,
  // at this pass and at later ones, while class 2 is left alone.
  set_scored_at(LAST_PASS);
  execute("UPDATE classes SET placing = 2134, timestamp = '2024-05-01 10:02:00' WHERE id = 1");
  rescore_placings();
  EXPECT_EQ(scores(1), "50/50");
  EXPECT_EQ(scores(2), "50/70");
  EXPECT_EQ(scores(3), "-1/-1");

  // Placing 1 was saved before its class, so any later pass scores it again.
  mark_scores(1);
  set_scored_at("2024-05-01 10:05:00");
  execute("UPDATE placings SET timestamp = '2024-05-01 10:06:00' WHERE id = 3");
  rescore_placings();
  EXPECT_EQ(scores(1), "50/50");
  EXPECT_EQ(scores(3), "48/48");
}

TEST_F(RescoringTest, AClassChangedAfterEveryPlacingWasScoredIsRescored) {
  add_placing(1, 1, 1011, 2134, "NULL", PLACINGS_SAVED);
  add_placing(2, 1, 1012, 1234, "40", PLACINGS_SAVED);
  rescore_placings();
  ASSERT_EQ(scores(1), "48/48");
  ASSERT_EQ(scores(2), "50/90");

  // Nothing but the class is saved after the last pass: its official placing becomes 2134.
  set_scored_at(LAST_PASS);
  execute("UPDATE classes SET placing = 2134, timestamp = '2024-05-01 10:01:00' WHERE id = 1");
  EXPECT_TRUE(scores_out_of_date(LAST_PASS));
  rescore_placings();
  EXPECT_EQ(scores(1), "50/50");
  EXPECT_EQ(scores(2), "48/88");
}

TEST_F(RescoringTest, ClockSetBackStillScores) {
  add_placing(1, 1, 1011, 2134, "NULL", PLACINGS_SAVED);
  add_placing(2, 1, 1012, 2134, "NULL", PLACINGS_SAVED);
  rescore_placings();
  mark_scores(1);

  // The last pass's stamp lies ahead of the clock: a full pass, which also brings the stamp
  // back to the clock so that later passes are incremental again.
  set_scored_at("2999-01-01 00:00:00");
  rescore_placings();
  EXPECT_EQ(scores(1), "48/48");
  EXPECT_LT(scored_at(), "2999");

  // A placing saved while the clock was behind carries a stamp older than the last pass;
  // as long as it has never been scored, it is found all the same.
  set_scored_at(LAST_PASS);
  add_placing(3, 1, 1013, 1243, "NULL", PLACINGS_SAVED);
  EXPECT_TRUE(scores_out_of_date(LAST_PASS));
  rescore_placings();
  EXPECT_EQ(scores(3), "47/47");

  // An unscored placing in a class that cannot be scored does not make the scores stale.
  add_placing(4, 2, 1013, 1243, "NULL", PLACINGS_SAVED);
  EXPECT_FALSE(scores_out_of_date(LAST_PASS));
}

TEST_F(RescoringTest, IdsBeyondThirtyTwoBitsScoreTheirOwnRows) {
  // Written by another program: a class and a placing whose ids need 64 bits, beside a
  // placing whose id is what the placing's id would be cut to.
  execute("INSERT INTO classes (id, type_id, name, placing, cuts, timestamp) VALUES"
          " (4294967299, 1, 'Lambs', 1234, 253, '" + CLASS_SAVED + "')");
  add_placing(5, 1, 1011, 1234, "NULL", PLACINGS_SAVED);
  execute("INSERT INTO placings (id, class_id, contestant_no, placing, timestamp) VALUES"
          " (4294967301, 1, 1012, 2134, '" + PLACINGS_SAVED + "'),"
          " (4294967302, 4294967299, 1013, 1324, '" + PLACINGS_SAVED + "')");
  rescore_placings();
  EXPECT_EQ(scores(5), "50/50");
  EXPECT_EQ(query("SELECT placing_score FROM placings WHERE id = 4294967301"), "48");
  EXPECT_EQ(query("SELECT placing_score FROM placings WHERE id = 4294967302"), "45");
}

// The local clock as SQLite reads it, moved by changing the time zone.
struct TimeZone {
  std::string saved;
  bool had = false;
  TimeZone() {
    if (const char* tz = getenv("TZ")) {
      had = true;
      saved = tz;
    }
  }
  ~TimeZone() {
    if (had) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  static void set(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
};

TEST_F(RescoringTest, ASaveWhileTheClockWasBackIsScoredOnceTheClockIsAheadAgain) {
  initialize_functions();
  TimeZone zone;
  TimeZone::set("EAA-2");
  ASSERT_EQ(run_payload("save_placing:none\x1F" "1\x1F" "1011\x1F" "2134\x1F"), "");
  ASSERT_EQ(run_payload("fetch_indiv_scores:").rfind("ERROR:", 0), std::string::npos);
  ASSERT_EQ(query("SELECT placing_score FROM placings"), "48");

  // The clock is set back an hour, a placing is corrected, and the clock goes forward again
  // before the scores are looked at.
  TimeZone::set("MAA-1");
  ASSERT_EQ(run_payload("save_placing:1\x1F" "1\x1F" "1011\x1F" "1324\x1F"), "");
  TimeZone::set("EAA-2");
  ASSERT_EQ(run_payload("fetch_indiv_scores:").rfind("ERROR:", 0), std::string::npos);
  EXPECT_EQ(query("SELECT placing_score FROM placings"), "45");
}

TEST_F(RescoringTest, APassWaitsForAnotherProgramsLockAndNamesItWhenHeldTooLong) {
  initialize_functions();
  add_placing(1, 1, 1011, 2134, "NULL", PLACINGS_SAVED);
  // Another program's connection to the contest file, holding its write lock.
  OtherProgram other(sqlite3_db_filename(contest_db, "main"));
  ASSERT_EQ(other.exec("BEGIN IMMEDIATE"), SQLITE_OK);
  std::thread release([&other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    other.exec("COMMIT");
  });
  const std::string waited = run_payload("fetch_indiv_scores:");
  release.join();
  EXPECT_EQ(waited.rfind("ERROR:", 0), std::string::npos) << waited;
  EXPECT_EQ(scores(1), "48/48");

  // Held past the busy timeout (shortened here): the pass, a save and a card save all give
  // up without writing; the two operations say that another program has the contest.
  add_placing(2, 1, 1012, 1324, "NULL", now());
  const std::string stamp = scored_at();
  sqlite3_busy_timeout(contest_db, 100);
  ASSERT_EQ(other.exec("BEGIN IMMEDIATE"), SQLITE_OK);
  EXPECT_EQ(run_payload("fetch_indiv_rankings:"), CONTEST_BUSY_ERROR);
  EXPECT_EQ(run_payload("save_division:none\x1FSenior\x1F"), CONTEST_BUSY_ERROR);
  EXPECT_EQ(run_payload("save_card_placing:1013\x1F" "1\x1F" "1234"), "false");
  EXPECT_FALSE(in_transaction());
  ASSERT_EQ(other.exec("COMMIT"), SQLITE_OK);
  EXPECT_EQ(scores(2), "/");
  EXPECT_EQ(scored_at(), stamp);
  EXPECT_EQ(query("SELECT count(*) FROM divisions"), "1");
}

// Runs the pass through the operation as the worker would, checking that a failure leaves
// no transaction, no score and no new stamp behind, and that the next pass recovers.
class RescoringFailureTest : public RescoringTest {
 protected:
  void SetUp() override {
    RescoringTest::SetUp();
    initialize_functions();
    add_placing(1, 1, 1011, 2134, "NULL", PLACINGS_SAVED);
    add_placing(2, 1, 1012, 1243, "NULL", PLACINGS_SAVED);
    add_placing(3, 1, 1013, 1324, "NULL", PLACINGS_SAVED);
  }

  void expect_failed_pass_left_nothing() {
    const std::string result = run_payload("fetch_indiv_scores:");
    EXPECT_EQ(result.rfind("ERROR:", 0), 0u) << result;
    // Whichever step SQLite refused, the official is told the same.
    EXPECT_EQ(result, DATABASE_PROBLEM_ERROR);
    EXPECT_FALSE(in_transaction());
    EXPECT_EQ(query("SELECT count(*) FROM placings WHERE placing_score IS NOT NULL OR total_score IS NOT NULL"), "0");
    EXPECT_EQ(scored_at(), "2020-01-01 00:00:00");
  }

  void expect_next_pass_scores_all() {
    rescore_placings();
    EXPECT_EQ(scores(1), "48/48");
    EXPECT_EQ(scores(2), "47/47");
    EXPECT_EQ(scores(3), "45/45");
    EXPECT_NE(scored_at(), "2020-01-01 00:00:00");
  }
};

TEST_F(RescoringFailureTest, FailingScoreUpdateRollsBackThePass) {
  // Placings 1 and 2 are updated first; the third update is refused.
  execute("CREATE TRIGGER refuse_third BEFORE UPDATE OF total_score ON placings WHEN NEW.id = 3"
          " BEGIN SELECT RAISE(ABORT, 'refused'); END;");
  expect_failed_pass_left_nothing();
  execute("DROP TRIGGER refuse_third");
  expect_next_pass_scores_all();
}

// Interrupts the pass's selection when it starts on its second class, after the first class's
// scores were written: a failing step of a read-only statement leaves the transaction open.
int interrupt_second_selection(void* fired) {
  for (sqlite3_stmt* s = sqlite3_next_stmt(contest_db, nullptr); s; s = sqlite3_next_stmt(contest_db, s)) {
    if (!std::strstr(sqlite3_sql(s), "SELECT id, placing, reasons_score FROM placings")) continue;
    // The run counter counts the step that starts each run.
    if (!sqlite3_stmt_busy(s) || sqlite3_stmt_status(s, SQLITE_STMTSTATUS_RUN, 0) < 2) return 0;
    *static_cast<bool*>(fired) = true;
    return 1;
  }
  return 0;
}

TEST_F(RescoringFailureTest, FailingSelectionRollsBackThePass) {
  execute("UPDATE classes SET placing = 1234, cuts = 253 WHERE id = 2");
  add_placing(4, 2, 1011, 2134, "NULL", PLACINGS_SAVED);
  bool fired = false;
  sqlite3_progress_handler(contest_db, 1, interrupt_second_selection, &fired);
  expect_failed_pass_left_nothing();
  sqlite3_progress_handler(contest_db, 0, nullptr, nullptr);
  EXPECT_TRUE(fired);
  expect_next_pass_scores_all();
  EXPECT_EQ(scores(4), "48/48");
}

// Interrupts the query for the classes to score, so that its step fails.
int interrupt_class_list(void* fired) {
  for (sqlite3_stmt* s = sqlite3_next_stmt(contest_db, nullptr); s; s = sqlite3_next_stmt(contest_db, s)) {
    if (!std::strstr(sqlite3_sql(s), "SELECT id, placing, cuts FROM classes") || !sqlite3_stmt_busy(s)) continue;
    *static_cast<bool*>(fired) = true;
    return 1;
  }
  return 0;
}

TEST_F(RescoringFailureTest, FailingClassListFailsThePass) {
  bool fired = false;
  sqlite3_progress_handler(contest_db, 1, interrupt_class_list, &fired);
  expect_failed_pass_left_nothing();
  sqlite3_progress_handler(contest_db, 0, nullptr, nullptr);
  EXPECT_TRUE(fired);
  expect_next_pass_scores_all();
}

TEST_F(RescoringFailureTest, FailingCommitRollsBackThePass) {
  // A deferred foreign key broken by every score update: COMMIT is refused and leaves the
  // transaction open, which the pass must close.
  execute("CREATE TABLE parent (id INTEGER PRIMARY KEY);"
          "CREATE TABLE child (parent_id INTEGER REFERENCES parent (id) DEFERRABLE INITIALLY DEFERRED);"
          "CREATE TRIGGER break_key AFTER UPDATE OF total_score ON placings"
          " BEGIN INSERT INTO child VALUES (-1); END;");
  expect_failed_pass_left_nothing();
  EXPECT_EQ(query("SELECT count(*) FROM child"), "0");
  execute("DROP TRIGGER break_key");
  expect_next_pass_scores_all();
}

// A transaction that cannot begin is a database problem like a statement that cannot be
// prepared. Here the connection is inside a transaction already, which SQLite refuses to nest.
TEST_F(RescoringFailureTest, APassThatCannotBeginIsADatabaseProblem) {
  execute("BEGIN");
  EXPECT_EQ(run_payload("fetch_indiv_scores:"), DATABASE_PROBLEM_ERROR);
  execute("ROLLBACK");
  EXPECT_EQ(scored_at(), "2020-01-01 00:00:00");
  expect_next_pass_scores_all();
}

TEST(RescoringWithoutContest, RaisesAndAnswersAnError) {
  ASSERT_EQ(contest_db, nullptr);
  EXPECT_THROW(rescore_placings(), std::runtime_error);
  initialize_functions();
  EXPECT_EQ(run_payload("fetch_indiv_scores:"), "ERROR:A contest is not open.");
  EXPECT_EQ(run_payload("fetch_indiv_rankings:"), "ERROR:A contest is not open.");
  EXPECT_EQ(run_payload("fetch_team_rankings:"), "ERROR:A contest is not open.");
}
}  // namespace
