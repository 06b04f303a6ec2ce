// The open contest's file under faults. Every case goes through the operations as the
// worker runs them.
#include <memory>

#include "support/small_disk.h"
#include "tests/store/store_fixture.h"

namespace {
using namespace store_fixture;
namespace fs = std::filesystem;

// A contest made on a tmpfs of its own, small enough to fill.
class FullDisk : public ::testing::Test {
 protected:
  TempHome home;
  std::unique_ptr<SmallDisk> disk;

  void SetUp() override {
    disk = std::make_unique<SmallDisk>(home.desktop(), 1024 * 1024);
    if (!disk->mounted) GTEST_SKIP() << "no tmpfs can be mounted here";
    ASSERT_EQ(call("create_contest", "Show"), "");
  }
};

TEST_F(FullDisk, SavesAndTheRescoringPassSayTheDiskIsFull) {
  // One scored placing, then a change to it that the next pass has to store.
  for (const auto& [name, args] : Commands{{"save_division", join_fields({"none", "Junior", ""})},
                                           {"save_team", join_fields({"none", "1000", "Group", "North"})},
                                           {"call_save_contestant", join_fields({"none", "1010", "Ann"})},
                                           {"save_class_type", join_fields({"none", "Dairy"})},
                                           {"save_class", join_fields({"none", "1", "Cows", "1234", "253"})},
                                           {"save_placing", join_fields({"none", "1", "1011", "2134", ""})}})
    ASSERT_EQ(call(name, args), "") << name;
  ASSERT_EQ(call("fetch_indiv_scores").rfind("ERROR:", 0), std::string::npos);
  // The WAL emptied, so that what follows must grow it.
  ASSERT_EQ(query("PRAGMA wal_checkpoint(TRUNCATE)"), join_fields({"0", "0", "0"}));
  ASSERT_EQ(call("save_placing", join_fields({"1", "1", "1011", "1324", ""})), "");

  const fs::path filler = disk->fill();
  const std::string before = database_snapshot();
  EXPECT_EQ(call("save_division", join_fields({"none", "Senior", ""})), DISK_FULL_ERROR);
  EXPECT_EQ(call("fetch_indiv_scores"), DISK_FULL_ERROR);
  EXPECT_EQ(call("save_card_placing", join_fields({"1011", "1", "2134"})), "false");
  EXPECT_EQ(database_snapshot(), before);

  fs::remove(filler);
  EXPECT_EQ(call("save_division", join_fields({"none", "Senior", ""})), "");
  ASSERT_EQ(call("fetch_indiv_scores").rfind("ERROR:", 0), std::string::npos);
  EXPECT_EQ(query("SELECT placing_score FROM placings"), "45");
}
}  // namespace
