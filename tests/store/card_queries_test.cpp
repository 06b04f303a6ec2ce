// The card operations over a real contest database.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "store/database.h"
#include "store/failures.h"
#include "store/fields.h"
#include "store/operations.h"
#include "store/schema.h"
#include "support/join_fields.h"

namespace {
const std::string SEP(1, FIELD_SEPARATOR);

void exec(const std::string& sql) {
  char* message = nullptr;
  ASSERT_EQ(sqlite3_exec(contest_db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << message;
}

// One value read back, or "NULL"/"none" when there is no value or no row.
std::string query(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(contest_db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK);
  std::string value = "none";
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* text = sqlite3_column_text(stmt, 0);
    value = text ? reinterpret_cast<const char*>(text) : "NULL";
  }
  sqlite3_finalize(stmt);
  return value;
}

class CardQueries : public ::testing::Test {
 protected:
  std::filesystem::path folder;

  void SetUp() override {
    char pattern[] = "/tmp/card_queries_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    ASSERT_TRUE(open_database((folder / "contest.db").string()));
    exec(schema_sql);
    // Contestant 1011 "Ann" and 1012 "Ben"; classes 3 "Cows" and 4 "Sheep".
    exec("INSERT INTO contest (name, scored_at) VALUES ('Fair', '2020-01-01 00:00:00');"
         "INSERT INTO divisions (name) VALUES ('Junior');"
         "INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'North');"
         "INSERT INTO contestants (team_no, name) VALUES (1010, 'Ann'), (1010, 'Ben');"
         "INSERT INTO class_types (name) VALUES ('Dairy');"
         "INSERT INTO classes (id, type_id, name, timestamp) VALUES (3, 1, 'Cows', '2024-01-01 00:00:00'),"
         " (4, 1, 'Sheep', '2024-01-01 00:00:00');");
  }

  void TearDown() override {
    close_database();
    std::filesystem::remove_all(folder);
  }

  std::string placing_of(int contestant, int class_id) {
    return query("SELECT placing FROM placings WHERE contestant_no = " + std::to_string(contestant) +
                 " AND class_id = " + std::to_string(class_id));
  }
  std::string reasons_of(int contestant, int class_id) {
    return query("SELECT reasons_score FROM placings WHERE contestant_no = " + std::to_string(contestant) +
                 " AND class_id = " + std::to_string(class_id));
  }
};

TEST(CardQueriesWithoutContest, AnyBodyAnswersNoContestOrFalse) {
  ASSERT_EQ(contest_db, nullptr);
  for (const std::string& args : {std::string(), std::string("x"), join_fields({"1011", "3", "2134"})}) {
    EXPECT_EQ(fetch_card_names(args), NO_CONTEST_ERROR);
    EXPECT_EQ(fetch_card_names_and_placing(args), NO_CONTEST_ERROR);
    EXPECT_EQ(save_card_placing(args), "false");
    EXPECT_EQ(save_card_reasons(args), "false");
  }
}

TEST_F(CardQueries, NamesAnswerEmptyFieldsForUnknownNumbers) {
  EXPECT_EQ(fetch_card_names(join_fields({"1011", "3"})), "Ann" + SEP + "Cows");
  EXPECT_EQ(fetch_card_names(join_fields({"1099", "3"})), SEP + "Cows");
  EXPECT_EQ(fetch_card_names(join_fields({"1011", "99"})), "Ann" + SEP);
  EXPECT_EQ(fetch_card_names(join_fields({"1099", "99"})), SEP);
  // Fields beyond the two are ignored.
  EXPECT_EQ(fetch_card_names(join_fields({"1012", "4", "junk"})), "Ben" + SEP + "Sheep");
}

TEST_F(CardQueries, NamesAndPlacingEndWithTheStoredPlacing) {
  EXPECT_EQ(fetch_card_names_and_placing(join_fields({"1011", "3"})), "Ann" + SEP + "Cows" + SEP);
  ASSERT_EQ(save_card_placing(join_fields({"1011", "3", "2134"})), "true");
  EXPECT_EQ(fetch_card_names_and_placing(join_fields({"1011", "3"})), "Ann" + SEP + "Cows" + SEP + "2134");
  EXPECT_EQ(fetch_card_names_and_placing(join_fields({"1012", "3"})), "Ben" + SEP + "Cows" + SEP);
}

TEST_F(CardQueries, PlacingIsStoredOnceAndNeverReplaced) {
  EXPECT_EQ(save_card_placing(join_fields({"1011", "3", "2134"})), "true");
  EXPECT_EQ(placing_of(1011, 3), "2134");
  EXPECT_EQ(reasons_of(1011, 3), "NULL");
  EXPECT_NE(query("SELECT timestamp FROM placings"), "NULL");

  EXPECT_EQ(save_card_placing(join_fields({"1011", "3", "2134"})), "false");
  EXPECT_EQ(save_card_placing(join_fields({"1011", "3", "1234"})), "false");
  EXPECT_EQ(placing_of(1011, 3), "2134");
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings"), "1");

  // No such class, no such contestant.
  EXPECT_EQ(save_card_placing(join_fields({"1011", "99", "2134"})), "false");
  EXPECT_EQ(save_card_placing(join_fields({"1099", "3", "2134"})), "false");
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings"), "1");

  // A fourth field is ignored; 0 means no placing given and is kept.
  EXPECT_EQ(save_card_placing(join_fields({"1012", "3", "4321", "x"})), "true");
  EXPECT_EQ(placing_of(1012, 3), "4321");
  EXPECT_EQ(save_card_placing(join_fields({"1011", "4", "0"})), "true");
  EXPECT_EQ(placing_of(1011, 4), "0");
}

TEST_F(CardQueries, OnlyRealPlacingsAreStored) {
  for (const char* bad : {"5555", "1244", "12345", "123", "1235", "-1234", "4322", "2147483647"}) {
    EXPECT_EQ(save_card_placing(join_fields({"1011", "3", bad})), "false") << bad;
  }
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings"), "0");
}

TEST_F(CardQueries, ReasonsGoOnlyIntoAPlacingWithoutThem) {
  EXPECT_EQ(save_card_reasons(join_fields({"1011", "3", "40"})), "false");  // no placing yet
  ASSERT_EQ(save_card_placing(join_fields({"1011", "3", "2134"})), "true");
  exec("UPDATE placings SET timestamp = '2000-01-01 00:00:00'");

  EXPECT_EQ(save_card_reasons(join_fields({"1011", "3", "40"})), "true");
  EXPECT_EQ(reasons_of(1011, 3), "40");
  // The renewed timestamp is what makes the next rescoring pass recompute the total.
  EXPECT_NE(query("SELECT timestamp FROM placings"), "2000-01-01 00:00:00");

  EXPECT_EQ(save_card_reasons(join_fields({"1011", "3", "12"})), "false");
  EXPECT_EQ(reasons_of(1011, 3), "40");

  // A score given on the main page first is not overwritten by a card.
  ASSERT_EQ(save_card_placing(join_fields({"1012", "3", "1234"})), "true");
  exec("UPDATE placings SET reasons_score = 33 WHERE contestant_no = 1012");
  EXPECT_EQ(save_card_reasons(join_fields({"1012", "3", "45"})), "false");
  EXPECT_EQ(reasons_of(1012, 3), "33");
}

TEST_F(CardQueries, OnlyScoresFromZeroToFiftyAreStored) {
  ASSERT_EQ(save_card_placing(join_fields({"1011", "3", "2134"})), "true");
  ASSERT_EQ(save_card_placing(join_fields({"1011", "4", "2134"})), "true");
  for (const char* bad : {"51", "-1", "500", "2147483647"}) {
    EXPECT_EQ(save_card_reasons(join_fields({"1011", "3", bad})), "false") << bad;
  }
  EXPECT_EQ(reasons_of(1011, 3), "NULL");
  EXPECT_EQ(save_card_reasons(join_fields({"1011", "3", "0"})), "true");
  EXPECT_EQ(save_card_reasons(join_fields({"1011", "4", "50"})), "true");
  EXPECT_EQ(reasons_of(1011, 3), "0");
  EXPECT_EQ(reasons_of(1011, 4), "50");
}

// Bodies no card page sends, answered as the worker answers them: fixed texts, nothing stored.
TEST_F(CardQueries, MalformedBodiesAnswerFixedTextsAndStoreNothing) {
  initialize_functions();
  for (const std::string& args : {std::string(), std::string("1011"), "1011" + SEP}) {
    EXPECT_EQ(run_payload("fetch_card_names:" + args), MISSING_FIELD_ERROR) << args;
    EXPECT_EQ(run_payload("fetch_card_names_and_placing:" + args), MISSING_FIELD_ERROR) << args;
  }
  for (const std::string& args : {std::string(), std::string("1011"), join_fields({"1011", "3"})}) {
    EXPECT_EQ(run_payload("save_card_placing:" + args), MISSING_FIELD_ERROR) << args;
    EXPECT_EQ(run_payload("save_card_reasons:" + args), MISSING_FIELD_ERROR) << args;
  }
  // The trailing empty field is dropped by the splitting, so these are short bodies too.
  EXPECT_EQ(run_payload("fetch_card_names:" + join_fields({"1011", ""})), MISSING_FIELD_ERROR);
  EXPECT_EQ(run_payload("save_card_placing:" + join_fields({"1011", "3", ""})), MISSING_FIELD_ERROR);
  EXPECT_EQ(run_payload("save_card_placing:1011"), MISSING_FIELD_ERROR);

  const std::string not_numbers[] = {join_fields({"x", "3", "1234"}), join_fields({"1011", "", "1234"}),
                                     join_fields({"99999999999", "3", "1234"}),
                                     join_fields({"1011", "3", "abc"}),
                                     join_fields({"1011", "3", "99999999999"})};
  for (const std::string& args : not_numbers) {
    EXPECT_EQ(run_payload("save_card_placing:" + args), INVALID_NUMBER_ERROR) << args;
    EXPECT_EQ(run_payload("save_card_reasons:" + args), INVALID_NUMBER_ERROR) << args;
  }
  EXPECT_EQ(run_payload("fetch_card_names:" + join_fields({"x", "3"})), INVALID_NUMBER_ERROR);
  EXPECT_EQ(run_payload("fetch_card_names_and_placing:" + join_fields({"1011", "-"})), INVALID_NUMBER_ERROR);
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings"), "0");
}

TEST_F(CardQueries, AFileWithoutContestTablesNeverShowsSqliteMessages) {
  exec("DROP TABLE placings;");
  initialize_functions();
  EXPECT_EQ(run_payload("fetch_card_names_and_placing:" + join_fields({"1011", "3"})), DATABASE_PROBLEM_ERROR);
  EXPECT_EQ(run_payload("save_card_placing:" + join_fields({"1011", "3", "1234"})), DATABASE_PROBLEM_ERROR);
  EXPECT_EQ(run_payload("save_card_reasons:" + join_fields({"1011", "3", "12"})), DATABASE_PROBLEM_ERROR);
}
}  // namespace
