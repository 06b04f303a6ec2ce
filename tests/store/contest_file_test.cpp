// The open contest's file under faults: replaced, deleted or moved while open, and a full
// disk. Every case goes through the operations as the worker runs them.
#include <memory>

#include "shell/contest_dialog.h"
#include "tests/support/contest_fixture.h"
#include "tests/support/small_disk.h"

namespace {
namespace fs = std::filesystem;

std::uintmax_t size_or_zero(const fs::path& file) {
  std::error_code missing;
  const std::uintmax_t size = fs::file_size(file, missing);
  return missing ? 0 : size;
}

fs::path dialog_choice;
std::string choose_file() { return dialog_choice.string(); }

class ContestFile : public ContestTest {
 protected:
  fs::path folder() const { return home.desktop() / "Test Contest"; }
  fs::path file() const { return folder() / "contest.db"; }

  void TearDown() override {
    contest_dialog_layer = nullptr;
    ContestTest::TearDown();
  }

  // Opens a contest file through the dialog, as the page's Open does.
  std::string open_file(const fs::path& path) {
    dialog_choice = path;
    contest_dialog_layer = choose_file;
    return call("open_contest");
  }
};

TEST_F(ContestFile, AFileReplacedWhileOpenIsLeftAsItWasAndNothingMoreIsSaved) {
  expect_ok("save_division", {"none", "Junior", ""});
  const fs::path backup = home.home / "backup.db";
  execute("VACUUM INTO '" + backup.string() + "'");
  // Saved after the backup: in the program's WAL beside the file, not yet in the file.
  expect_ok("save_division", {"none", "Senior", ""});

  // A backup restored the way a file manager or a script does it.
  fs::copy_file(backup, folder() / "contest.db.new");
  fs::rename(folder() / "contest.db.new", file());
  const std::string restored = file_bytes(file());

  EXPECT_EQ(call("save_division", join_fields({"none", "Open", ""})), CONTEST_MOVED_ERROR);
  EXPECT_EQ(call("save_card_placing", join_fields({"1011", "1", "2134"})), "false");
  EXPECT_EQ(call("fetch_divisions"), CONTEST_MOVED_ERROR);
  close_database();  // as at exit
  EXPECT_EQ(file_bytes(file()), restored);

  // Opened again it is the backup, whole, and opening it changes none of its bytes.
  ASSERT_EQ(open_file(file()), "Test Contest");
  EXPECT_EQ(query("PRAGMA integrity_check"), "ok");
  EXPECT_EQ(query("SELECT name FROM divisions"), "Junior");
  close_database();
  EXPECT_EQ(file_bytes(file()), restored);
}

TEST_F(ContestFile, AFileDeletedOrMovedWhileOpenTakesNoFurtherSaveAndKeepsEarlierOnes) {
  expect_ok("save_division", {"none", "Junior", ""});
  fs::remove(file());
  EXPECT_EQ(call("save_card_placing", join_fields({"1011", "1", "2134"})), "false");
  // Closed at once, with the statements it kept from earlier saves: nothing of it was running.
  EXPECT_EQ(contest_db, nullptr);
  EXPECT_EQ(call("save_division", join_fields({"none", "Senior", ""})), CONTEST_MOVED_ERROR);
  EXPECT_EQ(call("save_division", join_fields({"none", "Open", ""})), CONTEST_MOVED_ERROR);
  close_database();
  // Nothing is left beside the name that a file put there later would take in.
  EXPECT_FALSE(fs::exists(file()));
  EXPECT_EQ(size_or_zero(folder() / "contest.db-wal"), 0u);

  // A contest file renamed while open keeps everything saved before at its new name, also
  // what was still in the WAL that stayed behind under the old one.
  ASSERT_EQ(call("create_contest", "Moving"), "");
  expect_ok("save_division", {"none", "Junior", ""});
  const fs::path moving = home.desktop() / "Moving";
  fs::rename(moving / "contest.db", moving / "renamed.db");
  EXPECT_EQ(call("save_division", join_fields({"none", "Senior", ""})), CONTEST_MOVED_ERROR);
  close_database();
  EXPECT_EQ(size_or_zero(moving / "contest.db-wal"), 0u);
  ASSERT_EQ(open_file(moving / "renamed.db"), "Moving");
  EXPECT_EQ(query("SELECT name FROM divisions"), "Junior");
}

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
