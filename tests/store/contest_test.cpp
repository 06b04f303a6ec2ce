// Creating a contest on the Desktop and opening one through the file dialog.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <fstream>
#include <functional>

#include "shell/contest_dialog.h"
#include "store/contest_folder.h"
#include "store/failures.h"
#include "store/operations.h"
#include "store/schema.h"
#include "tests/support/small_disk.h"
#include "tests/support/sql.h"
#include "tests/support/temp_home.h"
#include "tests/support/worker.h"

namespace fs = std::filesystem;

namespace {
const std::string S(1, FIELD_SEPARATOR);
const std::string OPEN_FAILED = "ERROR:Critical failure, the database could not be opened.";

const std::string NOT_A_CONTEST =
    "ERROR:This file is not a contest file: some of the contest's tables or rules are missing, changed or added.";
const std::string DAMAGED_CONTEST =
    "ERROR:The contest file is damaged and cannot be opened. Open a backup copy of the contest instead.";
const std::string READ_ONLY_CONTEST =
    "ERROR:This contest file cannot be written: the file or its folder is read-only.";

std::string dialog_answer;
std::string dialog_stand_in() { return dialog_answer; }

std::string contest_row() { return query("SELECT id, name, scored_at FROM contest;"); }

// Runs SQL on a file through a connection of its own, as another program would.
void change_file(const fs::path& file, const std::string& sql) {
  OtherProgram other(file);
  ASSERT_EQ(other.opened, SQLITE_OK);
  EXPECT_EQ(other.exec(sql), SQLITE_OK) << sql << ": " << sqlite3_errmsg(other.db);
}

std::vector<std::string> entries_of(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Bytes written over a file's own at an offset, as a failing disk or an interrupted copy does.
void overwrite(const fs::path& file, std::uintmax_t offset, const std::string& bytes) {
  std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
  out.seekp(static_cast<std::streamoff>(offset));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

#if defined(__x86_64__)
constexpr __u32 THIS_ARCH = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr __u32 THIS_ARCH = AUDIT_ARCH_AARCH64;
#endif
const std::string NO_FILTER = "<no seccomp filter>";

// From here on in this process, renameat2 with RENAME_NOREPLACE fails with EINVAL, as on file
// systems that lack it (NFS, some FUSE ones). True once that is so.
bool refuse_no_replace_renames() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, THIS_ARCH, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args) + 4 * sizeof(__u64)),  // flags, low half
      BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, RENAME_NOREPLACE, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
    return false;
  // Unfiltered, renaming nothing fails with ENOENT.
  return renameat2(AT_FDCWD, "/nothing-here", AT_FDCWD, "/nothing-there", RENAME_NOREPLACE) != 0 && errno == EINVAL;
}

// Runs body in a child process where no rename can refuse to replace, and answers the text it
// answered, or NO_FILTER when that could not be arranged. Files it makes stay for the test.
std::string where_renames_always_replace(const std::function<std::string()>& body) {
  int ends[2];
  if (pipe(ends) != 0) return "<no pipe>";
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    std::string text = NO_FILTER;
    try {  // nothing may leave the child but its answer
      if (refuse_no_replace_renames()) text = body();
    } catch (const std::exception& e) {
      text = std::string("<raised: ") + e.what() + ">";
    }
    const bool written = write(ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    _exit(written ? 0 : 1);
  }
  close(ends[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  close(ends[0]);
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return "<child failed: " + text + ">";
  return text;
}

// Names a finished folder as creation does, and answers how that went.
std::string try_naming(const fs::path& made, const fs::path& folder) {
  try {
    return name_folder(made, folder) ? "named" : "refused";
  } catch (const std::exception& e) {
    return e.what();
  }
}
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
  EXPECT_EQ(query("SELECT name FROM contest;"), name);
}

TEST_F(Contest, CreateRefusesAnExistingNameAndChangesNothing) {
  fs::create_directories(home.desktop() / "Taken");
  std::ofstream(home.desktop() / "File") << "x";
  EXPECT_EQ(create_contest("Taken"), "ERROR:This contest already exists on your desktop.");
  EXPECT_EQ(create_contest("File"), "ERROR:This contest already exists on your desktop.");
  EXPECT_EQ(contest_db, nullptr);
  EXPECT_TRUE(fs::is_empty(home.desktop() / "Taken"));
}

TEST_F(Contest, CreateWhileOpenLeavesTheOpenContestAndMakesNothing) {
  ASSERT_EQ(create_contest("First"), "");
  sqlite3* first = contest_db;
  EXPECT_EQ(create_contest("Second"), OPEN_FAILED);
  EXPECT_EQ(contest_db, first);
  // A refused creation must not block the name for later.
  EXPECT_FALSE(fs::exists(home.desktop() / "Second"));
  close_database();
  EXPECT_EQ(create_contest("Second"), "");
}

TEST_F(Contest, CreateGivesTheFolderTheModeTheUmaskGivesNewFolders) {
  const mode_t saved = umask(027);
  const std::string result = create_contest("Shared");
  umask(saved);
  ASSERT_EQ(result, "");
  EXPECT_EQ(fs::status(home.desktop() / "Shared").permissions(), static_cast<fs::perms>(0750));
}

TEST_F(Contest, NamingTheFinishedFolderNeverReplacesAFolderMadeUnderTheNameMeanwhile) {
  const fs::path made = home.desktop() / ".made";
  const fs::path taken = home.desktop() / "Taken";
  fs::create_directories(made);
  std::ofstream(made / "contest.db") << "made";
  fs::create_directories(taken);

  EXPECT_EQ(try_naming(made, taken), "refused");
  EXPECT_TRUE(fs::is_empty(taken));
  const std::string refused = where_renames_always_replace([&] { return try_naming(made, taken); });
  if (refused == NO_FILTER) GTEST_SKIP() << "no seccomp filter can be installed here";
  EXPECT_EQ(refused, "refused");
  EXPECT_TRUE(fs::is_empty(taken));
  EXPECT_EQ(file_bytes(made / "contest.db"), "made");

  // Once the name is free again, it is given there too.
  fs::remove(taken);
  EXPECT_EQ(where_renames_always_replace([&] { return try_naming(made, taken); }), "named");
  EXPECT_EQ(file_bytes(taken / "contest.db"), "made");
  EXPECT_FALSE(fs::exists(made));
}

TEST_F(Contest, CreateWorksWhereRenamesCannotRefuseToReplace) {
  const std::string result = where_renames_always_replace([] {
    const std::string answer = create_contest("Show");
    close_database();
    return answer;
  });
  if (result == NO_FILTER) GTEST_SKIP() << "no seccomp filter can be installed here";
  EXPECT_EQ(result, "");
  EXPECT_EQ(entries_of(home.desktop()), std::vector<std::string>{"Show"});
  dialog_answer = (home.desktop() / "Show" / "contest.db").string();
  EXPECT_EQ(open_contest(""), "Show");
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
  EXPECT_EQ(query("PRAGMA foreign_keys;"), "1");
  EXPECT_EQ(query("PRAGMA synchronous;"), "1");
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
  // A contest file without its contest row, and a file that is no database at all.
  change_file(home.desktop() / "empty.db", schema_sql);
  std::ofstream(home.desktop() / "notes.db") << std::string(4096, 'z');

  dialog_answer = (home.desktop() / "empty.db").string();
  EXPECT_EQ(open_contest(""), "ERROR:Contest name could not be retrieved.");
  EXPECT_EQ(contest_db, nullptr);

  dialog_answer = (home.desktop() / "notes.db").string();
  EXPECT_EQ(run_payload("open_contest:"), DAMAGED_CONTEST);
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
  change_file(folder / "contest.db", schema_sql + "INSERT INTO contest VALUES (1, 'Latin', '2020-01-01 00:00:00');");
  dialog_answer = (folder / "contest.db").string();
  EXPECT_EQ(open_contest(""), "Latin");
}

TEST_F(Contest, AContestStoredAsNoneIsRefusedAndLeftClosed) {
  // Made by hand or by an older copy: the page could not tell it from a cancelled dialog.
  fs::create_directories(home.desktop());
  change_file(home.desktop() / "none.db", schema_sql + "INSERT INTO contest VALUES (1, 'None', '2020-01-01 00:00:00');");
  dialog_answer = (home.desktop() / "none.db").string();
  EXPECT_EQ(open_contest(""), "ERROR:A contest named None cannot be opened. Rename it first.");
  EXPECT_EQ(contest_db, nullptr);
}

TEST_F(Contest, ACreationCutShortByAFullDiskLeavesNothingUnderTheName) {
  // From a disk with room for almost nothing to one with room for all: creation runs out of
  // room at each of its steps in turn.
  int failed = 0;
  int made = 0;
  for (std::size_t size = 8 * 1024; size <= 320 * 1024; size += 8 * 1024) {
    SmallDisk disk(home.desktop(), size);
    if (!disk.mounted) GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string result = create_contest("Show");
    if (result.empty()) {
      ++made;
      EXPECT_EQ(contest_row(), "1" + S + "Show" + S + "2020-01-01 00:00:00") << size;
      continue;
    }
    ++failed;
    EXPECT_EQ(result.rfind("ERROR:", 0), 0u) << size;
    // Whichever step ran out of room, the answer names the cause.
    EXPECT_EQ(result, DISK_FULL_ERROR) << size;
    EXPECT_EQ(contest_db, nullptr) << size;
    EXPECT_TRUE(fs::is_empty(home.desktop())) << size << " bytes: " << result;
  }
  EXPECT_GT(failed, 0);
  EXPECT_GT(made, 0);
}

TEST_F(Contest, OpenRefusesFilesThatAreNotWholeContestsAndChangesNone) {
  fs::create_directories(home.desktop());
  const fs::path lonely = home.desktop() / "lonely.db";
  change_file(lonely,
              "CREATE TABLE contest (id INTEGER PRIMARY KEY, name TEXT, scored_at TEXT);"
              "INSERT INTO contest VALUES (1, 'Lonely', '2020-01-01 00:00:00');");
  std::vector<fs::path> foreign{lonely};
  for (const char* damage : {
           "DROP TRIGGER set_team_number;", "ALTER TABLE placings DROP COLUMN total_score;",
           // Another program's rules in place of the contest's or beside them, which every save
           // would run: a limit that no longer limits, a bonus for everyone, a save that never ends.
           "DROP TRIGGER check_contestant_number_limit; CREATE TRIGGER check_contestant_number_limit "
           "BEFORE INSERT ON contestants BEGIN SELECT 1; END;",
           "CREATE TRIGGER bonus AFTER INSERT ON placings BEGIN UPDATE placings SET reasons_score = 50; END;",
           "CREATE TRIGGER stall AFTER INSERT ON placings BEGIN SELECT COUNT(*) FROM "
           "(WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT n FROM r); END;",
           "CREATE VIEW everyone AS SELECT name FROM contestants;", "CREATE INDEX by_time ON placings (timestamp);",
           "ALTER TABLE placings ADD COLUMN note TEXT;",
           "CREATE TABLE notes (id INTEGER PRIMARY KEY AUTOINCREMENT, note TEXT);"}) {
    const std::string name = "Damaged " + std::to_string(foreign.size());
    ASSERT_EQ(create_contest(name), "");
    close_database();
    foreign.push_back(home.desktop() / name / "contest.db");
    change_file(foreign.back(), damage);
  }

  for (const fs::path& file : foreign) {
    const std::string before = file_bytes(file);
    dialog_answer = file.string();
    EXPECT_EQ(run_payload("open_contest:"), NOT_A_CONTEST) << file;
    EXPECT_EQ(contest_db, nullptr) << file;
    EXPECT_EQ(file_bytes(file), before) << file;
    if (file != lonely) {
      EXPECT_EQ(entries_of(file.parent_path()), std::vector<std::string>{"contest.db"}) << file;
    }
  }
  // A database tool's ANALYZE adds SQLite's own statistics: still the whole contest.
  ASSERT_EQ(create_contest("Whole"), "");
  ASSERT_EQ(call("save_division", "none" + S + "Junior" + S + "3"), "");
  close_database();
  dialog_answer = (home.desktop() / "Whole" / "contest.db").string();
  change_file(dialog_answer, "ANALYZE;");
  ASSERT_NE(file_bytes(dialog_answer).find("sqlite_stat1"), std::string::npos);
  EXPECT_EQ(open_contest(""), "Whole");
  EXPECT_EQ(call("fetch_divisions"), "1" + S + "Junior" + S + "3" + S + "1000");
  close_database();

  // Another program that ran the same script, laid out with other line ends and indents.
  std::string relaid;
  for (std::size_t i = 0; i < schema_sql.size(); ++i) {
    if (schema_sql.compare(i, 2, "  ") == 0) {
      relaid += '\t';
      ++i;
    } else {
      relaid += schema_sql[i] == '\n' ? std::string("\r\n") : std::string(1, schema_sql[i]);
    }
  }
  fs::create_directories(home.desktop() / "Elsewhere");
  change_file(home.desktop() / "Elsewhere" / "contest.db",
              relaid + "INSERT INTO contest VALUES (1, 'Elsewhere', '2020-01-01 00:00:00');");
  dialog_answer = (home.desktop() / "Elsewhere" / "contest.db").string();
  EXPECT_EQ(open_contest(""), "Elsewhere");
}

TEST_F(Contest, OpenRefusesADamagedFileAndLeavesItAsItCame) {
  ASSERT_EQ(create_contest("Show"), "");
  // Enough placings to fill pages of their own beyond the first.
  execute("INSERT INTO divisions (name) VALUES ('D'); INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'G');"
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 9) "
          "INSERT INTO contestants (team_no, name) SELECT 1010, 'C' || i FROM n;"
          "INSERT INTO class_types (name) VALUES ('T');"
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
          "INSERT INTO classes (type_id, name, placing, cuts, timestamp) SELECT 1, 'K' || i, 1234, 123, 'then' FROM n;"
          "INSERT INTO placings (class_id, contestant_no, placing, timestamp) "
          "SELECT classes.id, contestants.number, 2134, 'then' FROM classes, contestants;");
  const auto pages = std::stoul(query("PRAGMA page_count;"));
  close_database();
  const fs::path whole = home.desktop() / "Show" / "contest.db";
  ASSERT_EQ(entries_of(whole.parent_path()), std::vector<std::string>{"contest.db"});
  const std::string bytes = file_bytes(whole);
  const std::size_t schema_text = bytes.find("CREATE TABLE placings");
  ASSERT_NE(schema_text, std::string::npos);

  // Taken as copies that went wrong: a page of junk, a lost file header, a garbled table
  // definition, a file cut short, and a page of junk in a file that came with its WAL.
  const auto copy = [&](const std::string& name) {
    fs::create_directories(home.desktop() / name);
    fs::copy_file(whole, home.desktop() / name / "contest.db");
    return home.desktop() / name / "contest.db";
  };
  std::vector<fs::path> damaged;
  overwrite(damaged.emplace_back(copy("Junk page")), 4096 * (pages / 2), std::string(4096, '\xFF'));
  overwrite(damaged.emplace_back(copy("No header")), 0, std::string(16, 'x'));
  overwrite(damaged.emplace_back(copy("Garbled")), schema_text, "CREATE TABLX");
  fs::resize_file(damaged.emplace_back(copy("Cut short")), 4096 * (pages / 2));
  const fs::path with_wal = damaged.emplace_back(copy("Crashed"));
  {
    // Its last save still only in the WAL, as a program that stopped mid-contest leaves it.
    OtherProgram other(with_wal);
    ASSERT_EQ(other.exec("PRAGMA wal_autocheckpoint = 0; UPDATE classes SET cuts = 321 WHERE id = 1;"), SQLITE_OK);
    fs::copy_file(with_wal.string() + "-wal", home.desktop() / "wal");
  }
  fs::rename(home.desktop() / "wal", with_wal.string() + "-wal");
  overwrite(with_wal, 4096 * (pages - 1), std::string(4096, '\xFF'));  // a page of placings, not in the WAL

  for (const fs::path& file : damaged) {
    const std::vector<std::string> entries = entries_of(file.parent_path());
    const std::string before = file_bytes(file);
    const std::string wal_before = file_bytes(file.string() + "-wal");
    dialog_answer = file.string();
    EXPECT_EQ(run_payload("open_contest:"), DAMAGED_CONTEST) << file;
    EXPECT_EQ(contest_db, nullptr) << file;
    EXPECT_EQ(file_bytes(file), before) << file;
    EXPECT_EQ(file_bytes(file.string() + "-wal"), wal_before) << file;
    if (file != with_wal) {
      EXPECT_EQ(entries_of(file.parent_path()), entries) << file;
    }
  }
  dialog_answer = whole.string();
  EXPECT_EQ(open_contest(""), "Show");
}

TEST_F(Contest, OpenRefusesAContestFileThatCannotBeWritten) {
  SmallDisk disk(home.desktop(), 1024 * 1024);
  ASSERT_EQ(create_contest("Locked"), "");
  close_database();
  const fs::path file = home.desktop() / "Locked" / "contest.db";
  if (disk.mounted) {
    ASSERT_TRUE(disk.make_read_only());
  } else {
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (access(file.c_str(), W_OK) == 0) GTEST_SKIP() << "this user may write any file and may not mount";
  }
  dialog_answer = file.string();
  EXPECT_EQ(run_payload("open_contest:"), READ_ONLY_CONTEST);
  EXPECT_EQ(contest_db, nullptr);
}
