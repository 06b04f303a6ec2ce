#include "tests/support/contest_fixture.h"

namespace {
class Divisions : public ContestTest {};

TEST_F(Divisions, SaveFetchDeleteThroughTheWorker) {
  const auto results = run_on_worker({
      {"save_division", join_fields({"none", "Junior", "4"})},
      {"save_division", join_fields({"none", "Senior", ""})},  // trailing empty team size: NULL
      {"fetch_divisions", ""},
      {"delete_division", "2000"},
      {"fetch_divisions", ""},
  });
  EXPECT_EQ(results, (std::vector<std::string>{
                         "", "", join_fields({"1", "Junior", "4", "1000", "2", "Senior", "", "2000"}), "",
                         join_fields({"1", "Junior", "4", "1000"})}));
}

TEST_F(Divisions, TeamSizeCountsOnlyWithExactlyThreeFields) {
  expect_ok("save_division", {"none", "Junior", "4"});
  expect_ok("save_division", {"1000", "Senior", "3", "x"});  // four fields: team size NULL
  EXPECT_EQ(call("fetch_divisions"), join_fields({"1", "Senior", "", "1000"}));
  expect_ok("save_division", {"1000", "Senior", "3"});
  EXPECT_EQ(call("fetch_divisions"), join_fields({"1", "Senior", "3", "1000"}));
  expect_ok("save_division", {"1000", "Open"});
  EXPECT_EQ(call("fetch_divisions"), join_fields({"1", "Open", "", "1000"}));
}

TEST_F(Divisions, OrderedByIdAndUpdateOfMissingNumberChangesNothing) {
  expect_ok("save_division", {"none", "B"});
  expect_ok("save_division", {"none", "A"});
  expect_ok("save_division", {"1000", "Z"});  // a rename keeps its place
  expect_ok("save_division", {"5000", "Q", "2"});
  EXPECT_EQ(call("fetch_divisions"), join_fields({"1", "Z", "", "1000", "2", "A", "", "2000"}));
}

TEST_F(Divisions, RefusalsLeaveTheTableUnchanged) {
  expect_ok("save_division", {"none", "Junior", "3"});
  expect_ok("save_team", {"none", "1000", "Team", "North"});
  expect_refused({
      {"save_division", join_fields({"none", "", "3"})},        // empty name
      {"save_division", join_fields({"none", "Junior", "2"})},  // name in use
      {"save_division", join_fields({"1000", "Junior", ""})},   // team size NULL under a Team
      {"delete_division", "1000"},                       // still has a team
  });
  expect_ok("save_division", {"none", "junior"});  // case counts in names
}

TEST_F(Divisions, AtMostNineAndTheHighestIdIsReusedAfterDelete) {
  for (int i = 1; i <= 9; ++i) expect_ok("save_division", {"none", "D" + std::to_string(i)});
  EXPECT_EQ(call("save_division", join_fields({"none", "D10"})), CONSISTENCY_ERROR);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(call("delete_division", std::to_string(i * 1000)), "");
  EXPECT_EQ(call("save_division", join_fields({"none", "D10"})), CONSISTENCY_ERROR);  // id 9 still there
  EXPECT_EQ(call("delete_division", "9000"), "");
  EXPECT_EQ(call("delete_division", "9000"), "");  // no such row: still the empty text
  expect_ok("save_division", {"none", "Fresh"});
  EXPECT_EQ(call("fetch_divisions"), join_fields({"1", "Fresh", "", "1000"}));
}

}  // namespace
