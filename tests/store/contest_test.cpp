// Creating a contest on the Desktop and opening one through the file dialog.
#include <gtest/gtest.h>

#include <fstream>

#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "shell/contest_dialog.h"
#include "store/failures.h"
#include "store/operations.h"
#include "store/patterns.h"
#include "support/temp_home.h"

namespace fs = std::filesystem;

namespace {
const std::string S(1, FIELD_SEPARATOR);
const std::string OPEN_FAILED = "ERROR:Critical failure, the database could not be opened.";

std::string dialog_answer;
std::string dialog_stand_in() { return dialog_answer; }

std::string contest_row() { return run_fetch("SELECT id, name, scored_at FROM contest;"); }
}  // namespace

class Contest : public ::testing::Test {
 protected:
  TempHome home;
  void SetUp() override {
    if (function_table.empty()) initialize_functions();
    contest_dialog_layer = dialog_stand_in;
    dialog_answer.clear();
  }
  void TearDown() override { contest_dialog_layer = nullptr; }
};

TEST_F(Contest, CreateMakesTheFolderTheFileAndTheContestRow) {
  EXPECT_EQ(create_contest("Spring Show"), "");
  EXPECT_TRUE(fs::is_regular_file(home.desktop() / "Spring Show" / "contest.db"));
  EXPECT_EQ(contest_row(), "1" + S + "Spring Show" + S + "2020-01-01 00:00:00");
}

TEST_F(Contest, CreateKeepsNonAsciiNamesExactly) {
  const std::string name = "F\xC3\xAAte d'\xC3\xA9t\xC3\xA9 \xE2\x80\x94 \xE5\xA4\x8F";
  EXPECT_EQ(create_contest(name), "");
  EXPECT_TRUE(fs::exists(home.desktop() / name / "contest.db"));
  EXPECT_EQ(run_fetch("SELECT name FROM contest;"), name);
}

TEST_F(Contest, CreateRefusesAnExistingNameAndChangesNothing) {
  fs::create_directories(home.desktop() / "Taken");
  std::ofstream(home.desktop() / "File") << "x";
  EXPECT_EQ(create_contest("Taken"), "ERROR:This contest already exists on your desktop.");
  EXPECT_EQ(create_contest("File"), "ERROR:This contest already exists on your desktop.");
  EXPECT_EQ(contest_db, nullptr);
  EXPECT_TRUE(fs::is_empty(home.desktop() / "Taken"));
}

TEST_F(Contest, CreateWhileOpenLeavesTheOpenContestAndAnEmptyFolder) {
  ASSERT_EQ(create_contest("First"), "");
  sqlite3* first = contest_db;
  EXPECT_EQ(create_contest("Second"), OPEN_FAILED);
  EXPECT_EQ(contest_db, first);
  EXPECT_TRUE(fs::is_empty(home.desktop() / "Second"));
  EXPECT_EQ(create_contest("Second"), "ERROR:This contest already exists on your desktop.");
}

TEST_F(Contest, CreateRefusesNamesThatLeaveOrBreakTheDesktopFolder) {
  const std::string long_name(256, 'a');
  for (const std::string& name : {std::string(""), std::string("."), std::string(".."), std::string("None"),
                                 std::string("../escape"), std::string("a/b"), std::string("a\\b"),
                                 std::string("what?"), std::string("star*"), std::string("x<y"),
                                 std::string("pipe|"), std::string("c:d"), std::string("q\"q"),
                                 std::string("tab\tname"), std::string("line\nname"), long_name}) {
    const std::string result = create_contest(name);
    EXPECT_EQ(result.rfind("ERROR:", 0), 0u) << name;
    EXPECT_EQ(contest_db, nullptr) << name;
  }
  EXPECT_FALSE(fs::exists(home.desktop()));
  EXPECT_FALSE(fs::exists(home.home / "escape"));
  EXPECT_EQ(create_contest(std::string(255, 'a')), "");
}

TEST_F(Contest, OpenAnswersNoneWhenCancelledEvenWhileOpen) {
  EXPECT_EQ(open_contest(""), "None");
  ASSERT_EQ(create_contest("Open"), "");
  EXPECT_EQ(open_contest(""), "None");
}

TEST_F(Contest, OpenAnswersTheStoredNameAndSetsTheConnection) {
  ASSERT_EQ(create_contest("  Padded Name  "), "");
  close_database();
  dialog_answer = (home.desktop() / "  Padded Name  " / "contest.db").string();
  EXPECT_EQ(open_contest("ignored"), "  Padded Name  ");
  EXPECT_EQ(run_fetch("PRAGMA foreign_keys;"), "1");
  EXPECT_EQ(run_fetch("PRAGMA synchronous;"), "1");
}

TEST_F(Contest, OpenRefusesWhileAContestIsOpen) {
  ASSERT_EQ(create_contest("A"), "");
  sqlite3* open = contest_db;
  dialog_answer = (home.desktop() / "A" / "contest.db").string();
  EXPECT_EQ(open_contest(""), OPEN_FAILED);
  EXPECT_EQ(contest_db, open);
}

TEST_F(Contest, AFailedOpenLeavesNoContestOpenSoAnotherCanBeChosen) {
  fs::create_directories(home.desktop());
  // An SQLite file without a contest row, and a file that is no database at all.
  {
    sqlite3* db = nullptr;
    sqlite3_open((home.desktop() / "empty.db").c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE contest (id INTEGER PRIMARY KEY, name TEXT, scored_at TEXT);", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  std::ofstream(home.desktop() / "notes.db") << std::string(4096, 'z');

  dialog_answer = (home.desktop() / "empty.db").string();
  EXPECT_EQ(open_contest(""), "ERROR:Contest name could not be retrieved.");
  EXPECT_EQ(contest_db, nullptr);

  dialog_answer = (home.desktop() / "notes.db").string();
  EXPECT_EQ(run_payload("open_contest:"), DATABASE_PROBLEM_ERROR);
  EXPECT_EQ(contest_db, nullptr);

  ASSERT_EQ(create_contest("Real"), "");
  close_database();
  dialog_answer = (home.desktop() / "Real" / "contest.db").string();
  EXPECT_EQ(open_contest(""), "Real");
}

TEST_F(Contest, OpenPassesTheDialogPathThroughByteForByte) {
  // A Latin-1 folder name is not valid UTF-8; a UTF-16 round trip would mangle it.
  const fs::path folder = home.desktop() / "Sch\xF6n";
  fs::create_directories(folder);
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "contest.db").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE contest (id INTEGER PRIMARY KEY, name TEXT, scored_at TEXT);"
                     "INSERT INTO contest VALUES (1, 'Latin', '2020-01-01 00:00:00');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  dialog_answer = (folder / "contest.db").string();
  EXPECT_EQ(open_contest(""), "Latin");
}
