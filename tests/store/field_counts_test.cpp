// Rules every record operation shares: short arguments, no open contest, the "none" key.
#include "tests/support/contest_fixture.h"

namespace {
class FieldCounts : public ContestTest {};

TEST_F(FieldCounts, FewerFieldsThanReadAnswerAnErrorAndChangeNothing) {
  expect_ok("save_division", {"none", "Junior", "3"});
  expect_ok("save_team", {"none", "1000", "Team", "North"});
  expect_ok("call_save_contestant", {"none", "1010", "A1"});
  expect_ok("save_class_type", {"none", "Cattle"});
  expect_ok("save_class", {"none", "1", "Heifers", "1234", "123"});
  expect_ok("save_placing", {"none", "1", "1011", "2134"});
  expect_refused(
      {
          {"save_division", ""},
          {"save_division", "none"},
          {"save_division", "1000"},
          {"save_team", join_fields({"none", "1000", "Team"})},
          {"save_team", join_fields({"1010", "2000", "Group"})},
          {"call_save_contestant", join_fields({"none", "1010"})},
          {"call_save_contestant", join_fields({"1011", "1010", ""})},  // an empty last name is dropped
          {"save_class_type", "none"},
          {"save_class_type", "1"},
          {"save_class", join_fields({"none", "1"})},
          {"save_class", join_fields({"1", "1"})},
          {"save_placing", join_fields({"none", "1", "1011"})},
          {"save_placing", join_fields({"1", "1", "1011", ""})},  // three fields once split
      },
      MISSING_FIELD_ERROR);
}

TEST_F(FieldCounts, KeysMustBeExactlyNoneOrANumber) {
  expect_ok("save_division", {"none", "Junior", "3"});
  expect_refused({{"save_division", join_fields({"None", "X"})},
                  {"save_division", join_fields({" none", "X"})},
                  {"save_division", join_fields({"NONE", "X"})},
                  {"save_class_type", join_fields({"none ", "X"})},
                  {"save_team", join_fields({"none", "x1000", "Group", "X"})},
                  {"delete_team", ""},
                  {"delete_class", "abc"},
                  {"save_division", join_fields({"99999999999", "X"})}},
                 INVALID_NUMBER_ERROR);
  expect_ok("save_division", {"1000abc", "Renamed"});  // read as 1000, as std::stoi does
  EXPECT_EQ(call("fetch_divisions"), join_fields({"1", "Renamed", "", "1000"}));
}

TEST(RecordsWithoutContest, AnswerNoContestExceptDeletesOfNone) {
  close_database();
  for (const char* name : {"fetch_divisions", "fetch_teams", "fetch_contestants", "fetch_contestant_counts",
                           "fetch_class_types", "fetch_classes", "fetch_placings", "fetch_placing_counts"})
    EXPECT_EQ(call(name), NO_CONTEST_ERROR) << name;
  for (const char* name : {"delete_division", "delete_team", "delete_contestant", "delete_class_type",
                           "delete_class", "delete_placing"}) {
    EXPECT_EQ(call(name, "none"), "") << name;
    EXPECT_EQ(call(name, "1"), NO_CONTEST_ERROR) << name;
    EXPECT_EQ(call(name, "x"), NO_CONTEST_ERROR) << name;  // prepared before the key is read
  }
  EXPECT_EQ(call("save_division", join_fields({"none", "Junior"})), NO_CONTEST_ERROR);
  EXPECT_EQ(call("save_team", join_fields({"1010", "1000", "Group", "North"})), NO_CONTEST_ERROR);
  EXPECT_EQ(call("call_save_contestant", join_fields({"none", "1010", "A1"})), NO_CONTEST_ERROR);
  EXPECT_EQ(call("save_class_type", join_fields({"none", "Cattle"})), NO_CONTEST_ERROR);
  EXPECT_EQ(call("save_class", join_fields({"none", "1", "Heifers"})), NO_CONTEST_ERROR);
  EXPECT_EQ(call("save_placing", join_fields({"none", "1", "1011", "2134"})), NO_CONTEST_ERROR);
  // The placing saves with nothing to write answer at once.
  EXPECT_EQ(call("save_placing", join_fields({"none", "1", "1011", "", ""})), "");  // four fields
  EXPECT_EQ(call("save_placing", join_fields({"17", "1", "1011", "", "40"})), "");
}

}  // namespace
