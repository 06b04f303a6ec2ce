#include "tests/support/contest_fixture.h"

namespace {
class Contestants : public ContestTest {
 protected:
  void SetUp() override {
    ContestTest::SetUp();
    expect_ok("save_division", {"none", "Junior"});
    expect_ok("save_division", {"none", "Senior"});
    expect_ok("save_team", {"none", "1000", "Group", "North"});
    expect_ok("save_team", {"none", "2000", "Group", "South"});
  }
};

TEST_F(Contestants, SaveFetchCountDeleteThroughTheWorker) {
  const auto results = run_on_worker({
      {"fetch_contestants", ""},
      {"call_save_contestant", join_fields({"none", "1010", "A1"})},
      {"fetch_contestants", ""},
      {"fetch_contestant_counts", ""},
      {"delete_contestant", "1011"},
      {"fetch_contestants", ""},
  });
  EXPECT_EQ(results, (std::vector<std::string>{"", "", join_fields({"Junior", "North", "A1", "1011"}),
                                               join_fields({"Junior", "North", "1", "Senior", "South", "0"}), "", ""}));
}

TEST_F(Contestants, UpdateChangesOnlyTheName) {
  expect_ok("call_save_contestant", {"none", "1010", "A1", "ignored"});
  expect_ok("call_save_contestant", {"1011", "2010", "B2"});
  EXPECT_EQ(call("fetch_contestants"), join_fields({"Junior", "North", "B2", "1011"}));
  expect_ok("call_save_contestant", {"1019", "1010", "Nobody"});  // no such contestant
  EXPECT_EQ(query("SELECT id, team_no, name, number FROM contestants;"), join_fields({"1", "1010", "B2", "1011"}));
}

TEST_F(Contestants, NumbersStepByOneAndStopAtTheNinth) {
  for (int i = 1; i <= 9; ++i) expect_ok("call_save_contestant", {"none", "1010", "N" + std::to_string(i)});
  EXPECT_EQ(query("SELECT MAX(number) FROM contestants;"), "1019");
  expect_refused({{"call_save_contestant", join_fields({"none", "1010", "N10"})}});
  EXPECT_EQ(call("delete_contestant", "1015"), "");  // a gap stays a gap
  expect_refused({{"call_save_contestant", join_fields({"none", "1010", "N10"})}});
  EXPECT_EQ(call("delete_contestant", "1019"), "");
  expect_ok("call_save_contestant", {"none", "1010", "N10"});
  EXPECT_EQ(query("SELECT number FROM contestants WHERE name = 'N10';"), "1019");
}

TEST_F(Contestants, RefusalsLeaveTheDatabaseUnchanged) {
  expect_ok("call_save_contestant", {"none", "1010", "A1"});
  expect_ok("call_save_contestant", {"none", "2010", "B1"});
  expect_ok("save_class_type", {"none", "Cattle"});
  expect_ok("save_class", {"none", "1", "Heifers"});
  expect_ok("save_placing", {"none", "1", "2011", "1234"});
  expect_refused({
      {"call_save_contestant", join_fields({"none", "2010", "A1"})},  // names are unique contest-wide
      {"call_save_contestant", join_fields({"2011", "2010", "A1"})},  // also by a rename
      {"call_save_contestant", join_fields({"none", "1010", "", "x"})},  // empty name
      {"call_save_contestant", join_fields({"none", "1020", "C1"})},  // no such team
      {"delete_contestant", "2011"},                            // has a placing
  });
  expect_ok("call_save_contestant", {"none", "1010", "a1"});  // case counts
}

TEST_F(Contestants, FetchesFollowInsertOrderNotNames) {
  expect_ok("save_team", {"none", "1000", "Group", "Empty"});
  expect_ok("call_save_contestant", {"none", "2010", "Zed"});
  expect_ok("call_save_contestant", {"none", "1010", "Amy"});
  expect_ok("call_save_contestant", {"2011", "2010", "Aaron"});  // a rename moves nothing
  EXPECT_EQ(call("fetch_contestants"),
            join_fields({"Junior", "North", "Amy", "1011", "Senior", "South", "Aaron", "2011"}));
  EXPECT_EQ(call("fetch_contestant_counts"),
            join_fields({"Junior", "North", "1", "Senior", "South", "1", "Junior", "Empty", "0"}));
  expect_ok("call_save_contestant", {"none", "2010", "Bea"});
  EXPECT_EQ(call("fetch_contestant_counts"),
            join_fields({"Senior", "South", "2", "Junior", "North", "1", "Junior", "Empty", "0"}));
}

}  // namespace
