#include "tests/support/contest_fixture.h"

namespace {
const std::string PLACING_WITHOUT_CUTS = "ERROR:Enter both the placing and the cuts.";

class Classes : public ContestTest {
 protected:
  void SetUp() override {
    ContestTest::SetUp();
    expect_ok("save_class_type", {"none", "Cattle"});
    expect_ok("save_class_type", {"none", "Swine"});
  }
  // Puts every class's stamp in the past, so a later write shows as a newer stamp.
  static void age_stamps() { execute("UPDATE classes SET timestamp = '2000-01-01 00:00:00';"); }
};

TEST_F(Classes, SaveFetchDeleteThroughTheWorker) {
  const auto results = run_on_worker({
      {"fetch_classes", ""},
      {"save_class", join_fields({"none", "1", "Heifers", "1234", "123"})},
      {"save_class", join_fields({"none", "2", "Gilts", "", ""})},  // four fields: both NULL
      {"fetch_classes", ""},
      {"delete_class", "1"},
      {"fetch_classes", ""},
  });
  EXPECT_EQ(results, (std::vector<std::string>{
                         "", "", "",
                         join_fields({"1", "Cattle", "Heifers", "1234", "123", "2", "Swine", "Gilts", "", ""}),
                         "", join_fields({"2", "Swine", "Gilts", "", ""})}));
}

TEST_F(Classes, PlacingAndCutsAreStoredTogetherOrRefused) {
  expect_ok("save_class", {"none", "1", "Heifers", "1234", "123"});
  age_stamps();
  const Commands refused_pairs = {
      {"save_class", join_fields({"none", "1", "Steers", "4321"})},               // placing, no cuts
      {"save_class", join_fields({"1", "1", "Heifers", "4321"})},                 // nor on an update
      {"save_class", join_fields({"1", "1", "Heifers", "4321", "111", "extra"})},  // six fields drop both
  };
  expect_refused(refused_pairs, PLACING_WITHOUT_CUTS);
  expect_refused({{"save_class", join_fields({"1", "1", "Heifers", "", "123"})}}, INVALID_NUMBER_ERROR);
  expect_ok("save_class", {"1", "2", "Heifers", "", ""});  // both empty clear both
  EXPECT_EQ(call("fetch_classes"), join_fields({"1", "Swine", "Heifers", "", ""}));
  expect_ok("save_class", {"none", "1", "Odd", "7", "0"});  // digits are the page's to check
  EXPECT_EQ(query("SELECT placing, cuts FROM classes WHERE id = 2;"), join_fields({"7", "0"}));
}

TEST_F(Classes, EverySaveStampsTheClassAndARefusalDoesNot) {
  expect_ok("save_class", {"none", "1", "Heifers", "1234", "123"});
  expect_ok("save_class", {"none", "1", "Steers", "1234", "123"});
  age_stamps();
  expect_refused({
      {"save_class", join_fields({"2", "1", "Heifers", "1234", "123"})},  // name in use
      {"save_class", join_fields({"none", "9", "Bulls", "1234", "123"})},  // no such class type
  });
  expect_ok("save_class", {"1", "1", "Heifers 2", "1234", "123"});  // a rename alone stamps
  EXPECT_EQ(query("SELECT " + STAMPED_NOW + " FROM classes ORDER BY id;"), join_fields({"1", "0"}));
  expect_ok("save_class", {"9", "1", "Nobody", "1234", "123"});  // no such id: nothing changes
  EXPECT_EQ(query("SELECT COUNT(*) FROM classes;"), "2");
}

TEST_F(Classes, DeleteIsRefusedWhileAPlacingRefersToTheClass) {
  expect_ok("save_division", {"none", "Junior"});
  expect_ok("save_team", {"none", "1000", "Group", "North"});
  expect_ok("call_save_contestant", {"none", "1010", "A1"});
  expect_ok("save_class", {"none", "1", "Heifers", "1234", "123"});
  expect_ok("save_placing", {"none", "1", "1011", "2134"});
  expect_refused({{"delete_class", "1"}});
  EXPECT_EQ(call("delete_placing", "1"), "");
  EXPECT_EQ(call("delete_class", "1"), "");
  EXPECT_EQ(call("fetch_classes"), "");
}

}  // namespace
