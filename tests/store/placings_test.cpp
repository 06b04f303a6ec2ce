#include "tests/support/contest_fixture.h"

namespace {
class Placings : public ContestTest {
 protected:
  void SetUp() override {
    ContestTest::SetUp();
    expect_ok("save_division", {"none", "Junior"});
    expect_ok("save_team", {"none", "1000", "Group", "North"});
    for (const char* name : {"A1", "A2", "A3"}) expect_ok("call_save_contestant", {"none", "1010", name});
    expect_ok("save_class_type", {"none", "Cattle"});
    for (const char* name : {"Heifers", "Steers", "Bulls"}) expect_ok("save_class", {"none", "1", name, "1234", "123"});
  }
  static std::string placing_row(int id) {
    return query("SELECT class_id, contestant_no, placing, reasons_score FROM placings WHERE id = " +
                 std::to_string(id) + ";");
  }
};

TEST_F(Placings, SaveFetchCountDeleteThroughTheWorker) {
  const auto results = run_on_worker({
      {"fetch_placings", ""},
      {"save_placing", join_fields({"none", "3", "1011", "2134", ""})},  // four fields: no reasons score
      {"save_placing", join_fields({"none", "3", "1011", "", "40"})},    // reasons score alone
      {"fetch_placings", ""},
      {"fetch_placing_counts", ""},
      {"delete_placing", "1"},
      {"fetch_placings", ""},
  });
  EXPECT_EQ(results, (std::vector<std::string>{"", "", "", join_fields({"1", "3", "1011", "2134", "40"}),
                                               join_fields({"1012", "0", "0", "1013", "0", "0", "1011", "1", "1"}), "",
                                               ""}));
}

TEST_F(Placings, InsertAndUpdateById) {
  expect_ok("save_placing", {"none", "1", "1011", "2134", "40"});
  expect_ok("save_placing", {"none", "2", "1011", "0"});  // 0: no placing handed in
  EXPECT_EQ(placing_row(2), join_fields({"2", "1011", "0", ""}));
  execute("UPDATE placings SET placing_score = 45, total_score = 85;");
  expect_ok("save_placing", {"1", "1", "1012", "4321"});  // clears the reasons score
  EXPECT_EQ(placing_row(1), join_fields({"1", "1012", "4321", ""}));
  EXPECT_EQ(query("SELECT placing_score, total_score FROM placings WHERE id = 1;"), join_fields({"45", "85"}));
  expect_ok("save_placing", {"1", "1", "1012", "4321", "30"});
  EXPECT_EQ(placing_row(1), join_fields({"1", "1012", "4321", "30"}));
  expect_ok("save_placing", {"1", "1", "1012", "4321", "30", "x"});  // six fields: no reasons score
  EXPECT_EQ(placing_row(1), join_fields({"1", "1012", "4321", ""}));
  expect_ok("save_placing", {"99", "1", "1013", "1234"});  // no such id: nothing changes
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings;"), "2");
}

TEST_F(Placings, ReasonsOnlyUpdateNeedsAPlacing) {
  expect_ok("save_placing", {"none", "3", "1011", "2134", "10"});
  expect_ok("save_placing", {"none", "3", "1011", "", "40"});
  EXPECT_EQ(placing_row(1), join_fields({"3", "1011", "2134", "40"}));
  expect_refused({{"save_placing", join_fields({"none", "2", "1011", "", "40"})}});  // no placing in class 2
}

TEST_F(Placings, CasesWithNothingToWriteParseNothing) {
  expect_ok("save_placing", {"none", "1", "1011", "2134", "25"});
  for (const std::string& args : {join_fields({"none", "1", "1011", "", ""}),            // four fields
                                  join_fields({"none", "1", "1011", "", "40", "x"}),     // six fields
                                  join_fields({"1", "1", "1011", "", "40"}),             // a reasons score by id
                                  join_fields({"abc", "x", "y", "", "z"})}) {            // nothing parsed
    const std::string before = database_snapshot();
    EXPECT_EQ(call("save_placing", args), "") << args;
    EXPECT_EQ(database_snapshot(), before) << args;
  }
  expect_refused({{"save_placing", join_fields({"None", "1", "1011", "2134"})}}, INVALID_NUMBER_ERROR);
}

TEST_F(Placings, RefusalsLeaveTheDatabaseUnchanged) {
  expect_ok("save_placing", {"none", "1", "1011", "2134"});
  expect_ok("save_placing", {"none", "2", "1011", "2134"});
  expect_refused({
      {"save_placing", join_fields({"none", "1", "1011", "1234"})},  // one placing per class and contestant
      {"save_placing", join_fields({"none", "99", "1011", "1234"})},  // no such class
      {"save_placing", join_fields({"none", "1", "1099", "1234"})},   // no such contestant
      {"save_placing", join_fields({"2", "1", "1011", "1234"})},      // an update onto another's pair
  });
  EXPECT_EQ(call("delete_placing", "1"), "");
  EXPECT_EQ(call("delete_placing", "1"), "");
  EXPECT_EQ(call("delete_placing", "none"), "");
  EXPECT_EQ(query("SELECT id FROM placings;"), "2");
}

TEST_F(Placings, EveryWriteStampsTheRowAndFetchListsNewestFirst) {
  expect_ok("save_placing", {"none", "1", "1011", "1234"});
  expect_ok("save_placing", {"none", "2", "1011", "1234"});
  expect_ok("save_placing", {"none", "3", "1011", "1234"});
  EXPECT_EQ(query("SELECT MIN(" + STAMPED_NOW + ") FROM placings;"), "1");
  const auto age = [] {
    execute("UPDATE placings SET timestamp = '2000-01-0' || id || ' 00:00:00';");  // id 3 newest
  };
  const auto ids_in_fetch_order = [] {
    std::string ids;
    for (const auto& row : rows_of(call("fetch_placings"), 5)) ids += row[0];
    return ids;
  };
  age();
  EXPECT_EQ(ids_in_fetch_order(), "321");
  expect_ok("save_placing", {"1", "1", "1011", "4321"});
  EXPECT_EQ(ids_in_fetch_order(), "132");
  age();
  expect_ok("save_placing", {"none", "2", "1011", "", "30"});
  EXPECT_EQ(ids_in_fetch_order(), "231");
  // Stamps have whole seconds: placings typed within one second come newest first too.
  execute("UPDATE placings SET timestamp = '2000-01-01 00:00:00';");
  EXPECT_EQ(ids_in_fetch_order(), "321");
}

TEST_F(Placings, CountsPutTheMostMissingFirst) {
  expect_ok("save_placing", {"none", "1", "1011", "1234", "10"});
  expect_ok("save_placing", {"none", "2", "1011", "1234"});
  expect_ok("save_placing", {"none", "1", "1013", "1234"});
  expect_ok("save_placing", {"none", "2", "1013", "1234"});
  EXPECT_EQ(call("fetch_placing_counts"), join_fields({"1012", "0", "0", "1013", "2", "0", "1011", "2", "1"}));
}

}  // namespace
