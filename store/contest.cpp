// Creating a contest in its own Desktop folder, and opening an existing contest file.
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "store/contest_folder.h"
#include "store/database.h"
#include "store/desktop_hooks.h"
#include "store/failures.h"
#include "store/operations.h"
#include "store/schema.h"
#include "store/scoring.h"

namespace fs = std::filesystem;

std::string (*find_desktop_folder)() = nullptr;
std::string (*choose_contest_file)() = nullptr;

namespace {
// The name becomes one folder directly in the Desktop folder: anything that would make it
// climb out, nest, or be unportable is refused. "None" is what the page shows for "no
// contest open", so a contest of that name could never be used.
bool is_allowed_contest_name(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name == NO_CONTEST_CHOSEN) return false;
  if (name.size() > NAME_MAX) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    switch (c) {
      case '/': case '\\': case '<': case '>': case ':': case '"': case '|': case '?': case '*':
        return false;
      default:
        break;
    }
  }
  return true;
}

// Closes the connection unless the open went through, so a failed open never leaves a
// half-open contest that blocks every later create or open.
struct CloseUnlessKept {
  bool keep = false;
  bool leave_wal = false;  // a WAL the file came with stays as it came, not merged into it
  ~CloseUnlessKept() {
    if (keep) return;
    if (leave_wal) leave_wal_at_close();
    close_database();
  }
};

[[noreturn]] void raise_errno(const char* what, const fs::path& path, int error) {
  throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

[[noreturn]] void raise_rename_failed(const fs::path& from, const fs::path& to, int error) {
  throw fs::filesystem_error("rename", from, to, std::error_code(error, std::generic_category()));
}

// A new hidden folder on the Desktop in which a contest is made whole before it gets its
// name; removed with everything in it unless kept. Declared before the connection's guard,
// so the connection is closed first. Made by mkdir, not mkdtemp, whose folders are the
// owner's alone: the contest folder gets the mode the umask gives every new folder.
struct MakingFolder {
  fs::path path;
  bool keep = false;
  explicit MakingFolder(const fs::path& desktop) {
    static std::mt19937_64 draw{std::random_device{}()};
    for (int attempt = 1;; ++attempt) {
      char name[32];
      std::snprintf(name, sizeof name, ".tallywell-new-%016llx", static_cast<unsigned long long>(draw()));
      path = desktop / name;
      if (::mkdir(path.c_str(), 0777) == 0) return;
      if (errno != EEXIST || attempt == 100) raise_errno("mkdir", path, errno);
    }
  }
  ~MakingFolder() {
    std::error_code ignored;
    if (!keep) fs::remove_all(path, ignored);
  }
};

// Makes a folder's entries durable, so a rename after it cannot outlive what it renames.
void sync_folder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) raise_errno("open", folder, errno);
  const int rc = fsync(fd);
  const int error = errno;
  ::close(fd);
  if (rc != 0) raise_errno("fsync", folder, error);
}

// The settings every contest connection runs with; the empty text once all are set.
std::string configure_connection() {
  for (const char* pragma : {"PRAGMA foreign_keys = ON;", "PRAGMA synchronous = NORMAL;"}) {
    Statement statement = prepare_statement(pragma);
    if (statement.step() != SQLITE_DONE) return PRAGMA_FAILED_ERROR;
  }
  try {
    set_busy_timeout(5000);
  } catch (const SqliteFailure&) {
    return BUSY_TIMEOUT_FAILED_ERROR;
  }
  return std::string();
}

bool names_damage(int code) {
  return (code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB;
}

// Why the file just opened cannot be the contest, or the empty text when it can. Nothing of
// the file is run or written before this: the file is left as it came when refused.
std::string refusal_of_opened_file() {
  // SQLite falls back to reading a file it may not write; every save would then fail.
  if (contest_is_read_only()) return READ_ONLY_CONTEST_ERROR;
  try {
    if (std::string failure = configure_connection(); !failure.empty()) return failure;
    // Before any query of the file's tables, where a view or trigger another program put
    // there could run; and before every save, which the file's triggers would join.
    if (!holds_contest_schema(contest_db)) return NOT_A_CONTEST_ERROR;
    // Every page read once: a damaged file taking saves spreads its damage.
    Statement check = prepare_statement("PRAGMA quick_check(1);");
    if (!check.next_row() || column_text(check, 0) != "ok") return DAMAGED_CONTEST_ERROR;
  } catch (const SqliteFailure& failure) {
    if (names_damage(failure.code)) return DAMAGED_CONTEST_ERROR;
    throw;
  }
  return std::string();
}

// Makes the whole contest, its contest row included, in a file of its own, and leaves it
// merged into that one file with the connection closed; the empty text on success.
std::string build_contest(const fs::path& file, const std::string& name) {
  if (!open_database(file.string())) return OPEN_FAILED_ERROR;
  CloseUnlessKept close_always;
  try {
    execute_script(contest_db, schema_sql);
  } catch (const SqliteFailure& failure) {
    return cause_text_or(failure.code, SCHEMA_FAILED_ERROR);
  }
  {
    Statement insert = prepare_statement("INSERT INTO contest (name, scored_at) VALUES (?, '2020-01-01 00:00:00');");
    insert.bind_text(1, name);
    if (const int rc = insert.step(); rc != SQLITE_DONE) return cause_text_or(rc, NOT_INITIALIZED_ERROR);
  }
  // Everything in the file itself and the WAL emptied before the folder is named: what gets
  // the name is complete on disk.
  try {
    checkpoint_truncate(contest_db);
  } catch (const SqliteFailure& failure) {
    return cause_text_or(failure.code, NOT_INITIALIZED_ERROR);
  }
  return std::string();
}
}  // namespace

// Names the finished folder unless something has taken the name since the existence check.
bool name_folder(const fs::path& made, const fs::path& folder) {
  if (renameat2(AT_FDCWD, made.c_str(), AT_FDCWD, folder.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST || errno == ENOTEMPTY) return false;
  if (errno != EINVAL && errno != ENOSYS) raise_rename_failed(made, folder, errno);
  // The file system cannot rename without replacing: the name is taken first with a folder
  // that only this call can have made (mkdir never takes a name that is there), and the
  // finished folder then replaces that empty one.
  if (::mkdir(folder.c_str(), 0700) != 0) {
    if (errno == EEXIST) return false;
    raise_errno("mkdir", folder, errno);
  }
  if (::rename(made.c_str(), folder.c_str()) == 0) return true;
  const int error = errno;
  ::rmdir(folder.c_str());  // gone only while still empty: whatever was put there since stays
  if (error == EEXIST || error == ENOTEMPTY) return false;
  raise_rename_failed(made, folder, error);
}

std::string create_contest(const std::string& name) {
  const std::string desktop = find_desktop_folder ? find_desktop_folder() : std::string();
  if (desktop.empty()) return NO_DESKTOP_ERROR;
  if (!is_allowed_contest_name(name)) return BAD_CONTEST_NAME_ERROR;
  // A contest whose file went away no longer holds the program; any other open one does,
  // and then nothing is made.
  if (contest_db && !contest_file_in_place()) close_database();
  if (contest_db) return OPEN_FAILED_ERROR;

  const fs::path folder = fs::path(desktop) / name;
  // symlink_status so a dangling link at that name also counts as something being there.
  if (fs::exists(fs::symlink_status(folder))) return CONTEST_EXISTS_ERROR;
  fs::create_directories(desktop);

  // Made whole beside its place and then renamed into it: a crash or a failure at any step
  // leaves nothing under the contest's name, and an existing contest is never touched.
  MakingFolder making(desktop);
  if (std::string failure = build_contest(making.path / "contest.db", name); !failure.empty()) return failure;
  sync_folder(making.path);
  if (!name_folder(making.path, folder)) return CONTEST_EXISTS_ERROR;
  making.path = folder;  // still removed should anything below fail
  sync_folder(desktop);

  if (!open_database((folder / "contest.db").string())) return OPEN_FAILED_ERROR;
  CloseUnlessKept guard;
  if (std::string failure = configure_connection(); !failure.empty()) return failure;
  keep_scored_at_behind_saves();
  guard.keep = true;
  making.keep = true;
  return std::string();
}

std::string open_contest(const std::string&) {
  // The dialog's path goes to SQLite byte for byte: file names need not be valid UTF-8.
  const std::string path = choose_contest_file ? choose_contest_file() : std::string();
  if (path.empty()) return NO_CONTEST_CHOSEN;
  if (contest_db && !contest_file_in_place()) close_database();
  if (contest_db) return OPEN_FAILED_ERROR;
  // A refused file is left as it came, its WAL included; a WAL that SQLite makes here stays
  // empty and goes again at close.
  std::error_code unknown;
  const bool came_with_wal = fs::exists(path + "-wal", unknown);
  // Without SQLITE_OPEN_CREATE: a file that vanished since it was chosen is not made anew.
  if (!open_database(path, SQLITE_OPEN_READWRITE)) return OPEN_FAILED_ERROR;
  CloseUnlessKept guard;
  guard.leave_wal = came_with_wal || unknown;
  if (std::string refusal = refusal_of_opened_file(); !refusal.empty()) return refusal;
  std::string name;
  {
    Statement query = prepare_statement("SELECT name FROM contest;");
    const int rc = query.step();
    if (rc == SQLITE_DONE) return NAME_NOT_RETRIEVED_ERROR;
    if (rc != SQLITE_ROW) return cause_text_or(rc, NAME_NOT_RETRIEVED_ERROR);
    name = column_text(query, 0);
  }
  // The page reads "None" as "no contest chosen", so a contest of that name would be open in
  // the host while the page thinks none is, and nothing else could be opened.
  if (name == NO_CONTEST_CHOSEN) return CONTEST_NAMED_NONE_ERROR;
  keep_scored_at_behind_saves();
  guard.keep = true;
  return name;
}
