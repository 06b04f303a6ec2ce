// The card operations over a real contest, answered as the worker answers them.
#include "tests/support/contest_fixture.h"

namespace {
// Contestants 1011 "Ann" and 1012 "Ben"; classes 1 "Cows" and 2 "Sheep".
class CardQueries : public ContestTest {
 protected:
  void SetUp() override {
    ContestTest::SetUp();
    expect_ok("save_division", {"none", "Junior"});
    expect_ok("save_team", {"none", "1000", "Group", "North"});
    expect_ok("call_save_contestant", {"none", "1010", "Ann"});
    expect_ok("call_save_contestant", {"none", "1010", "Ben"});
    expect_ok("save_class_type", {"none", "Dairy"});
    expect_ok("save_class", {"none", "1", "Cows"});
    expect_ok("save_class", {"none", "1", "Sheep"});
  }
  static std::string placing(const char* contestant, const char* class_id) {
    return query(std::string("SELECT placing, reasons_score FROM placings WHERE contestant_no = ") + contestant +
                 " AND class_id = " + class_id);
  }
};

TEST(CardQueriesWithoutContest, AnyBodyAnswersNoContestOrFalse) {
  close_database();
  for (const std::string& args : {std::string(), std::string("x"), join_fields({"1011", "1", "2134"})}) {
    EXPECT_EQ(call("fetch_card_names", args), NO_CONTEST_ERROR);
    EXPECT_EQ(call("fetch_card_names_and_placing", args), NO_CONTEST_ERROR);
    EXPECT_EQ(call("save_card_placing", args), "false");
    EXPECT_EQ(call("save_card_reasons", args), "false");
  }
}

TEST_F(CardQueries, NamesAnswerEmptyFieldsForUnknownNumbers) {
  EXPECT_EQ(call("fetch_card_names", join_fields({"1011", "1"})), join_fields({"Ann", "Cows"}));
  EXPECT_EQ(call("fetch_card_names", join_fields({"1099", "1"})), join_fields({"", "Cows"}));
  EXPECT_EQ(call("fetch_card_names", join_fields({"1011", "99"})), join_fields({"Ann", ""}));
  EXPECT_EQ(call("fetch_card_names", join_fields({"1099", "99"})), join_fields({"", ""}));
  EXPECT_EQ(call("fetch_card_names", join_fields({"1012", "2", "junk"})), join_fields({"Ben", "Sheep"}));
}

TEST_F(CardQueries, NamesAndPlacingEndWithTheStoredPlacing) {
  EXPECT_EQ(call("fetch_card_names_and_placing", join_fields({"1011", "1"})), join_fields({"Ann", "Cows", ""}));
  ASSERT_EQ(call("save_card_placing", join_fields({"1011", "1", "2134"})), "true");
  EXPECT_EQ(call("fetch_card_names_and_placing", join_fields({"1011", "1"})), join_fields({"Ann", "Cows", "2134"}));
  EXPECT_EQ(call("fetch_card_names_and_placing", join_fields({"1012", "1"})), join_fields({"Ben", "Cows", ""}));
}

TEST_F(CardQueries, APlacingIsStoredOnceAndNeverReplaced) {
  EXPECT_EQ(call("save_card_placing", join_fields({"1011", "1", "2134"})), "true");
  EXPECT_EQ(placing("1011", "1"), join_fields({"2134", ""}));
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings WHERE " + STAMPED_NOW), "1");

  const std::string before = database_snapshot();
  EXPECT_EQ(call("save_card_placing", join_fields({"1011", "1", "2134"})), "false");
  EXPECT_EQ(call("save_card_placing", join_fields({"1011", "1", "1234"})), "false");
  EXPECT_EQ(call("save_card_placing", join_fields({"1011", "99", "2134"})), "false");  // no such class
  EXPECT_EQ(call("save_card_placing", join_fields({"1099", "1", "2134"})), "false");  // no such contestant
  EXPECT_EQ(database_snapshot(), before);

  // A fourth field is ignored; 0 means no placing given and is kept.
  EXPECT_EQ(call("save_card_placing", join_fields({"1012", "1", "4321", "x"})), "true");
  EXPECT_EQ(placing("1012", "1"), join_fields({"4321", ""}));
  EXPECT_EQ(call("save_card_placing", join_fields({"1011", "2", "0"})), "true");
  EXPECT_EQ(placing("1011", "2"), join_fields({"0", ""}));
}

// Anyone on the network can post to the card API: a placing such as 5555 would score as
// the official placing, so only 0 and the orders of 1 to 4 are stored.
TEST_F(CardQueries, OnlyRealPlacingsAreStored) {
  for (const char* bad : {"5555", "1244", "12345", "123", "1235", "-1234", "4322", "2147483647"})
    EXPECT_EQ(call("save_card_placing", join_fields({"1011", "1", bad})), "false") << bad;
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings"), "0");
}

TEST_F(CardQueries, ReasonsGoOnlyIntoAPlacingWithoutThem) {
  EXPECT_EQ(call("save_card_reasons", join_fields({"1011", "1", "40"})), "false");  // no placing yet
  ASSERT_EQ(call("save_card_placing", join_fields({"1011", "1", "2134"})), "true");
  execute("UPDATE placings SET timestamp = '2000-01-01 00:00:00'");

  EXPECT_EQ(call("save_card_reasons", join_fields({"1011", "1", "40"})), "true");
  EXPECT_EQ(placing("1011", "1"), join_fields({"2134", "40"}));
  // The renewed stamp is what makes the next rescoring pass recompute the total.
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings WHERE " + STAMPED_NOW), "1");

  EXPECT_EQ(call("save_card_reasons", join_fields({"1011", "1", "12"})), "false");
  EXPECT_EQ(placing("1011", "1"), join_fields({"2134", "40"}));

  // A score given on the main page first is not overwritten by a card.
  ASSERT_EQ(call("save_card_placing", join_fields({"1012", "1", "1234"})), "true");
  execute("UPDATE placings SET reasons_score = 33 WHERE contestant_no = 1012");
  EXPECT_EQ(call("save_card_reasons", join_fields({"1012", "1", "45"})), "false");
  EXPECT_EQ(placing("1012", "1"), join_fields({"1234", "33"}));
}

TEST_F(CardQueries, OnlyScoresFromZeroToFiftyAreStored) {
  ASSERT_EQ(call("save_card_placing", join_fields({"1011", "1", "2134"})), "true");
  ASSERT_EQ(call("save_card_placing", join_fields({"1011", "2", "2134"})), "true");
  for (const char* bad : {"51", "-1", "500", "2147483647"})
    EXPECT_EQ(call("save_card_reasons", join_fields({"1011", "1", bad})), "false") << bad;
  EXPECT_EQ(placing("1011", "1"), join_fields({"2134", ""}));
  EXPECT_EQ(call("save_card_reasons", join_fields({"1011", "1", "0"})), "true");
  EXPECT_EQ(call("save_card_reasons", join_fields({"1011", "2", "50"})), "true");
  EXPECT_EQ(query("SELECT reasons_score FROM placings ORDER BY class_id"), join_fields({"0", "50"}));
}

// Bodies no card page sends: fixed texts of ours, nothing stored.
TEST_F(CardQueries, MalformedBodiesAnswerFixedTextsAndStoreNothing) {
  // A trailing empty field is dropped by the splitting, so "1011<sep>" is one field.
  for (const std::string& args : {std::string(), std::string("1011"), "1011" + std::string(1, FIELD_SEPARATOR)}) {
    EXPECT_EQ(call("fetch_card_names", args), MISSING_FIELD_ERROR) << args;
    EXPECT_EQ(call("fetch_card_names_and_placing", args), MISSING_FIELD_ERROR) << args;
  }
  for (const std::string& args : {std::string(), std::string("1011"), join_fields({"1011", "1"}), join_fields({"1011", "1", ""})}) {
    EXPECT_EQ(call("save_card_placing", args), MISSING_FIELD_ERROR) << args;
    EXPECT_EQ(call("save_card_reasons", args), MISSING_FIELD_ERROR) << args;
  }
  for (const std::string& args : {join_fields({"x", "1", "1234"}), join_fields({"1011", "", "1234"}), join_fields({"99999999999", "1", "1234"}),
                                  join_fields({"1011", "1", "abc"}), join_fields({"1011", "1", "99999999999"})}) {
    EXPECT_EQ(call("save_card_placing", args), INVALID_NUMBER_ERROR) << args;
    EXPECT_EQ(call("save_card_reasons", args), INVALID_NUMBER_ERROR) << args;
  }
  EXPECT_EQ(call("fetch_card_names", join_fields({"x", "1"})), INVALID_NUMBER_ERROR);
  EXPECT_EQ(call("fetch_card_names_and_placing", join_fields({"1011", "-"})), INVALID_NUMBER_ERROR);
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings"), "0");
}

// std::stoi would read each of these as a number, but no card page writes one so: a save
// stores nothing and a fetch answers as for any field that is not a number.
TEST_F(CardQueries, NumbersAreTakenOnlyAsPlainDigits) {
  ASSERT_EQ(call("save_card_placing", join_fields({"1011", "1", "2134"})), "true");
  const std::string before = database_snapshot();
  for (const char* bad : {"4e1", "14.9", " 9", "+9", "09", "9 ", "9\t"})
    EXPECT_EQ(call("save_card_reasons", join_fields({"1011", "1", bad})), "false") << bad;
  for (const char* bad : {"+1012", " 1012", "1012abc", "01012"})
    EXPECT_EQ(call("save_card_placing", join_fields({bad, "1", "2134"})), "false") << bad;
  for (const char* bad : {"+1", " 1", "1x", "01"}) {
    EXPECT_EQ(call("save_card_placing", join_fields({"1012", bad, "2134"})), "false") << bad;
    EXPECT_EQ(call("save_card_reasons", join_fields({"1011", bad, "9"})), "false") << bad;
  }
  for (const char* bad : {"+2134", "02134", "2134 ", "-0"})
    EXPECT_EQ(call("save_card_placing", join_fields({"1012", "1", bad})), "false") << bad;
  for (const char* bad : {"+1011", " 1011", "1011x", "01011"}) {
    EXPECT_EQ(call("save_card_reasons", join_fields({bad, "1", "9"})), "false") << bad;
    EXPECT_EQ(call("fetch_card_names", join_fields({bad, "1"})), INVALID_NUMBER_ERROR) << bad;
    EXPECT_EQ(call("fetch_card_names_and_placing", join_fields({bad, "1"})), INVALID_NUMBER_ERROR) << bad;
  }
  for (const char* bad : {"+1", "01", "1 "}) {
    EXPECT_EQ(call("fetch_card_names", join_fields({"1011", bad})), INVALID_NUMBER_ERROR) << bad;
    EXPECT_EQ(call("fetch_card_names_and_placing", join_fields({"1011", bad})), INVALID_NUMBER_ERROR) << bad;
  }
  EXPECT_EQ(database_snapshot(), before);
  // Plain digits, 0 among them, are taken as before.
  EXPECT_EQ(call("save_card_placing", join_fields({"1012", "1", "0"})), "true");
  EXPECT_EQ(call("save_card_reasons", join_fields({"1011", "1", "9"})), "true");
  EXPECT_EQ(placing("1011", "1"), join_fields({"2134", "9"}));
}

TEST_F(CardQueries, AFileWithoutContestTablesNeverShowsSqliteMessages) {
  execute("DROP TABLE placings;");
  EXPECT_EQ(call("fetch_card_names_and_placing", join_fields({"1011", "1"})), DATABASE_PROBLEM_ERROR);
  EXPECT_EQ(call("save_card_placing", join_fields({"1011", "1", "1234"})), DATABASE_PROBLEM_ERROR);
  EXPECT_EQ(call("save_card_reasons", join_fields({"1011", "1", "12"})), DATABASE_PROBLEM_ERROR);
}
}  // namespace
