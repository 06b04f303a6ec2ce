#pragma once
// The one contest connection and the statement helpers every operation shares.
#include <sqlite3.h>

#include <string>

// The open contest's connection, or null. Used from the worker thread only.
extern sqlite3* contest_db;

// Owns one prepared statement; finalizes it when the holder goes out of scope.
struct Statement {
  sqlite3_stmt* stmt = nullptr;
  int changes = 0;  // sqlite3_changes after the last step that returned SQLITE_DONE

  Statement() = default;
  explicit Statement(sqlite3_stmt* s) : stmt(s) {}
  Statement(Statement&& other) noexcept : stmt(other.stmt), changes(other.changes) {
    other.stmt = nullptr;
    other.changes = 0;
  }
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  int step();
  void bind_text(int index, const std::string& text);
  void bind_int(int index, int value);
  void bind_int64(int index, long long value);
  void bind_null(int index);
};

// False once the open contest's file no longer has its name: moved, replaced by another
// file, or deleted. Needs an open contest.
bool contest_file_in_place();

// Raises NoContestOpen without a contest, a SqliteFailure with
// SQLITE_READONLY_DBMOVED when the contest's file is no longer in place (the contest is then
// closed), and "Failed to prepare statement: <sqlite message>" when SQLite refuses the SQL.
Statement prepare_statement(const char* sql);

// Column of the current row as text; SQL NULL gives the empty text.
std::string column_text(const Statement& statement, int column);

bool clear_bindings(Statement& statement);

// Rolls the open transaction back unless the holder marked it committed.
struct TransactionGuard {
  bool committed = false;
  ~TransactionGuard();
};

// Opens (or, with the default flags, creates) the file as the contest connection; false when
// one is open already or SQLite cannot open it (the failed connection is closed and
// contest_db stays null).
bool open_database(const std::string& utf8_path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);

// Closes the contest connection, if any. A contest whose file was moved, replaced or
// deleted is closed without its WAL ever reaching the file that now has its name.
void close_database();
