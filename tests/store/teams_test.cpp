#include "tests/support/contest_fixture.h"

namespace {
class Teams : public ContestTest {
 protected:
  void SetUp() override {
    ContestTest::SetUp();
    expect_ok("save_division", {"none", "Junior", "3"});
    expect_ok("save_division", {"none", "Senior"});  // no team size: groups only
  }
};

TEST_F(Teams, SaveFetchDeleteThroughTheWorker) {
  const auto results = run_on_worker({
      {"fetch_teams", ""},
      {"save_team", join_fields({"none", "1000", "Team", "North", "Kim"})},
      {"save_team", join_fields({"none", "2000", "Group", "South"})},
      {"fetch_teams", ""},
      {"delete_team", "1010"},
      {"fetch_teams", ""},
  });
  EXPECT_EQ(results, (std::vector<std::string>{
                         "", "", "",
                         join_fields({"2", "Senior", "Group", "South", "", "2010", "1", "Junior", "Team", "North", "Kim", "1010"}),
                         "", join_fields({"2", "Senior", "Group", "South", "", "2010"})}));
}

TEST_F(Teams, UpdateKeepsDivisionAndNumberAndCoachNeedsFiveFields) {
  expect_ok("save_team", {"none", "1000", "Team", "North"});
  EXPECT_EQ(call("fetch_teams"), join_fields({"1", "Junior", "Team", "North", "", "1010"}));
  expect_ok("save_team", {"1010", "2000", "Group", "Northeast", "Kim"});
  EXPECT_EQ(call("fetch_teams"), join_fields({"1", "Junior", "Group", "Northeast", "Kim", "1010"}));
  expect_ok("save_team", {"1010", "1000", "Group", "Northeast"});  // four fields clear the coach
  EXPECT_EQ(call("fetch_teams"), join_fields({"1", "Junior", "Group", "Northeast", "", "1010"}));
  expect_ok("save_team", {"1010", "1000", "Group", "Northeast", "Kim", "extra"});  // six: NULL too
  EXPECT_EQ(query("SELECT coach IS NULL FROM teams;"), "1");
  expect_ok("save_team", {"4040", "1000", "Group", "Nobody"});  // no such team: nothing changes
  EXPECT_EQ(call("fetch_teams"), join_fields({"1", "Junior", "Group", "Northeast", "", "1010"}));
}

TEST_F(Teams, NumbersStepByTenAndStopAtTheNinetyNinth) {
  for (int i = 1; i <= 99; ++i) expect_ok("save_team", {"none", "1000", "Group", "T" + std::to_string(i)});
  EXPECT_EQ(query("SELECT MIN(number), MAX(number) FROM teams;"), join_fields({"1010", "1990"}));
  expect_refused({{"save_team", join_fields({"none", "1000", "Group", "T100"})}});
  expect_ok("save_team", {"none", "2000", "Group", "T100"});
  // Deleting a lower number leaves a gap; the next team follows the highest.
  EXPECT_EQ(call("delete_team", "2010"), "");
  EXPECT_EQ(call("delete_team", "1010"), "");
  expect_refused({{"save_team", join_fields({"none", "1000", "Group", "Again"})}});
  EXPECT_EQ(call("delete_team", "1990"), "");
  expect_ok("save_team", {"none", "1000", "Group", "Again"});
  EXPECT_EQ(query("SELECT number FROM teams WHERE name = 'Again';"), "1990");
}

TEST_F(Teams, RefusalsLeaveTheDatabaseUnchanged) {
  expect_ok("save_team", {"none", "2000", "Group", "South"});
  expect_ok("save_team", {"none", "1000", "Team", "North"});
  expect_ok("save_team", {"none", "1000", "Group", "West"});
  expect_ok("call_save_contestant", {"none", "1010", "A1"});
  expect_refused({
      {"save_team", join_fields({"none", "2000", "Team", "Other"})},  // division without a team size
      {"save_team", join_fields({"2010", "2000", "Team", "South"})},  // nor by an update
      {"save_team", join_fields({"none", "1000", "Group", "", "Kim"})},  // empty name
      {"save_team", join_fields({"none", "1000", "Group", "North"})},     // name in use in the division
      {"save_team", join_fields({"1020", "1000", "Group", "North"})},     // also by a rename
      {"save_team", join_fields({"none", "3000", "Group", "East"})},  // no such division
      {"delete_team", "1010"},                                 // has a contestant
  });
  expect_ok("save_team", {"none", "2000", "Group", "North"});  // same name, other division
}

}  // namespace
