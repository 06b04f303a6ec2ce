#include "tests/support/contest_fixture.h"

namespace {
class ClassTypes : public ContestTest {};

TEST_F(ClassTypes, SaveFetchDeleteThroughTheWorker) {
  const auto results = run_on_worker({
      {"fetch_class_types", ""},
      {"save_class_type", join_fields({"none", "Cattle"})},
      {"save_class_type", join_fields({"none", " Swine "})},  // blanks are the page's to trim
      {"fetch_class_types", ""},
      {"delete_class_type", "1"},
      {"fetch_class_types", ""},
  });
  EXPECT_EQ(results, (std::vector<std::string>{"", "", "", join_fields({"1", "Cattle", "2", " Swine "}), "",
                                               join_fields({"2", " Swine "})}));
}

TEST_F(ClassTypes, RenamesAndRefusals) {
  expect_ok("save_class_type", {"none", "Cattle"});
  expect_ok("save_class_type", {"none", "Sheep"});
  expect_ok("save_class_type", {"1", "Cattle"});  // its own name again
  expect_ok("save_class_type", {"9", "Goats"});   // no such id: nothing changes
  expect_ok("save_class", {"none", "2", "Ewes"});
  expect_refused({
      {"save_class_type", join_fields({"none", "Cattle"})},
      {"save_class_type", join_fields({"2", "Cattle"})},
      {"save_class_type", join_fields({"none", "", "x"})},
      {"delete_class_type", "2"},  // a class still refers to it
  });
  EXPECT_EQ(call("delete_class", "1"), "");
  EXPECT_EQ(call("delete_class_type", "2"), "");
  EXPECT_EQ(call("delete_class_type", "2"), "");
  EXPECT_EQ(call("fetch_class_types"), join_fields({"1", "Cattle"}));
}

}  // namespace
