#pragma once
// The one contest connection and the statement helpers every operation shares. Every call
// into SQLite that an operation needs is made here and checked here, so no operation holds
// a raw statement and no failure of SQLite goes unnoticed.
#include <sqlite3.h>

#include <chrono>
#include <string>

// The open contest's connection, or null. Used from the worker thread only.
extern sqlite3* contest_db;

struct KeptStatement;

// Owns one statement prepared on a connection; finalizes it when the holder goes out of
// scope, or, for a statement the contest keeps (prepare_kept_statement), resets it and clears
// its bindings. A bind, reset or step that SQLite refuses raises SqliteFailure with its code,
// except through step(), which answers the code instead.
struct Statement {
  int changes = 0;  // sqlite3_changes after the last step that returned SQLITE_DONE

  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  // One step: SQLITE_ROW, SQLITE_DONE or the failure's extended result code, for callers
  // that answer a failed step with a text of their own.
  [[nodiscard]] int step();
  // One step: true when a row came, false when the statement finished; a failed step raises.
  bool next_row();
  // Runs a statement that gives no rows (an insert, update or delete) to its end; raises as
  // next_row.
  void execute();
  // Makes the statement ready to run again; its bindings stay.
  void reset();

  void bind_text(int index, const std::string& text);
  void bind_int(int index, int value);
  void bind_int64(int index, long long value);
  void bind_null(int index);

 private:
  Statement(sqlite3* connection, sqlite3_stmt* prepared) : db(connection), stmt(prepared) {}
  [[noreturn]] void raise(const char* what) const;
  void check_bind(int rc) const;

  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  KeptStatement* kept = nullptr;  // the contest's entry, for a kept statement
  unsigned long kept_generation = 0;

  friend Statement prepare_statement(sqlite3* db, const char* sql);
  friend Statement prepare_kept_statement(const char* sql);
  friend std::string column_text(const Statement& statement, int column);
  friend int column_int(const Statement& statement, int column);
  friend long long column_int64(const Statement& statement, int column);
  friend int column_count(const Statement& statement);
  friend void clear_bindings(Statement& statement);
};

// False once the open contest's file no longer has its name: moved, replaced by another
// file, or deleted. Needs an open contest.
bool contest_file_in_place();

// Prepares on the contest connection. Raises NoContestOpen without a contest, a SqliteFailure
// with SQLITE_READONLY_DBMOVED when the contest's file is no longer in place (the contest is
// then closed), and a SqliteFailure "Failed to prepare statement: <sqlite message>" when
// SQLite refuses the SQL.
Statement prepare_statement(const char* sql);

// Prepares on any connection, without the contest's checks; raises as above when SQLite
// refuses the SQL.
Statement prepare_statement(sqlite3* db, const char* sql);

// As prepare_statement(sql), but the contest keeps the statement for the next call with the
// same SQL until it closes (close_database finalizes it first): a save's statement, with the
// triggers SQLite compiles into it, is prepared once. A call while the kept one is still held
// gets a statement of its own.
Statement prepare_kept_statement(const char* sql);

// Columns of the current row. Text: SQL NULL gives the empty text. Numbers: NULL gives 0.
std::string column_text(const Statement& statement, int column);
int column_int(const Statement& statement, int column);
long long column_int64(const Statement& statement, int column);
int column_count(const Statement& statement);

void clear_bindings(Statement& statement);

// Runs a script of several statements; raises SqliteFailure when one fails.
void execute_script(sqlite3* db, const std::string& sql);

// A transaction on a connection: begun by the holder, committed by commit(), and rolled back
// when the holder goes out of scope without a commit. Deferred takes no lock until the first
// read or write; Immediate takes the write lock at once, waiting out the busy timeout as a
// save does.
struct TransactionGuard {
  enum Kind { Deferred, Immediate };
  bool committed = false;

  // Raises NoContestOpen without a connection, a SqliteFailure when SQLite refuses to begin.
  explicit TransactionGuard(Kind kind, sqlite3* db = contest_db);
  TransactionGuard(const TransactionGuard&) = delete;
  TransactionGuard& operator=(const TransactionGuard&) = delete;
  ~TransactionGuard();

  // Raises SqliteFailure when the commit fails; the transaction is then rolled back as the
  // holder goes.
  void commit();

 private:
  sqlite3* db;
  bool on_contest;  // db was contest_db when the transaction began
};

// A connection of its own, apart from the contest's (a database in memory, a file a tool
// writes); closed with its holder. Raises SqliteFailure when SQLite cannot open it.
struct Connection {
  sqlite3* db = nullptr;
  Connection(const std::string& path, int flags);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();
};

// Merges the connection's WAL into its database file and empties it; raises SqliteFailure.
void checkpoint_truncate(sqlite3* db);

// Opens (or, with the default flags, creates) the file as the contest connection; false when
// one is open already or SQLite cannot open it (the failed connection is closed and
// contest_db stays null).
bool open_database(const std::string& utf8_path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);

// The contest connection's settings: the time a statement waits for another program's lock.
void set_busy_timeout(int milliseconds);

// No statement waits for another program's lock past end, however long it has waited so far;
// time_point::max() lifts the limit. Any thread may call it, also while a statement waits.
void limit_lock_waits(std::chrono::steady_clock::time_point end);

// True when SQLite opened the contest's file for reading only (the file or its folder may
// not be written).
bool contest_is_read_only();

// Makes the contest connection's close leave the WAL beside the file as it is, not merged
// into the file. Needs an open contest.
void leave_wal_at_close();

// Closes the contest connection, if any. A contest whose file was moved, replaced or
// deleted is closed without its WAL ever reaching the file that now has its name.
void close_database();
