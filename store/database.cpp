#include "store/database.h"

#include <stdexcept>

#include "store/failures.h"

sqlite3* contest_db = nullptr;

Statement::~Statement() {
  if (stmt) sqlite3_finalize(stmt);
  stmt = nullptr;
  changes = 0;
}

int Statement::step() {
  const int rc = sqlite3_step(stmt);
  if (rc == SQLITE_DONE) changes = sqlite3_changes(contest_db);
  return rc;
}

void Statement::bind_text(int index, const std::string& text) {
  // The length is given so that a NUL inside a field is stored, not cut.
  sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void Statement::bind_int(int index, int value) { sqlite3_bind_int(stmt, index, value); }

void Statement::bind_int64(int index, long long value) { sqlite3_bind_int64(stmt, index, value); }

void Statement::bind_null(int index) { sqlite3_bind_null(stmt, index); }

bool contest_file_in_place() {
  int moved = 0;
  // A VFS without the check answers SQLITE_NOTFOUND and leaves moved at 0.
  sqlite3_file_control(contest_db, "main", SQLITE_FCNTL_HAS_MOVED, &moved);
  return moved == 0;
}

namespace {
// Set when the last contest was closed because its file was no longer in place, so that
// later operations keep saying why, until another contest is opened.
bool closed_as_moved = false;

[[noreturn]] void raise_moved() { throw SqliteFailure("The contest file was moved", SQLITE_READONLY_DBMOVED); }
}  // namespace

Statement prepare_statement(const char* sql) {
  if (!contest_db) {
    if (closed_as_moved) raise_moved();
    throw NoContestOpen();
  }
  // Every operation that uses the contest prepares first, so nothing is read from or written
  // to a file that is no longer the contest's. The connection is closed at once when nothing
  // of it is running; otherwise by the next operation, or at exit.
  if (!contest_file_in_place()) {
    if (!sqlite3_next_stmt(contest_db, nullptr) && sqlite3_get_autocommit(contest_db)) close_database();
    raise_moved();
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(contest_db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    const int code = sqlite3_extended_errcode(contest_db);
    const std::string message = sqlite3_errmsg(contest_db);
    sqlite3_finalize(stmt);
    throw SqliteFailure("Failed to prepare statement: " + message, code);
  }
  return Statement(stmt);
}

std::string column_text(const Statement& statement, int column) {
  const auto* text = sqlite3_column_text(statement.stmt, column);
  if (!text) return std::string();
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(statement.stmt, column)));
}

bool clear_bindings(Statement& statement) {
  sqlite3_clear_bindings(statement.stmt);
  return true;
}

TransactionGuard::~TransactionGuard() {
  if (!committed && contest_db) sqlite3_exec(contest_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool open_database(const std::string& utf8_path, int flags) {
  if (contest_db) return false;
  if (sqlite3_open_v2(utf8_path.c_str(), &contest_db, flags, nullptr) == SQLITE_OK) {
    closed_as_moved = false;
    return true;
  }
  sqlite3_close(contest_db);
  contest_db = nullptr;
  return false;
}

namespace {
// The file that has the contest's name is not the one this connection has open. The WAL
// beside that name is still this connection's own: merged into the file the connection has
// open (wherever that went, or nowhere once deleted) and emptied, it can no longer be
// replayed into whatever file has the name now. Should the merge fail, it is emptied all the
// same. SQLite then closes without a checkpoint of its own: it skips that for a moved file.
void close_moved_contest() {
  if (sqlite3_wal_checkpoint_v2(contest_db, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_file* wal = nullptr;
    if (sqlite3_file_control(contest_db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &wal) == SQLITE_OK && wal &&
        wal->pMethods)
      wal->pMethods->xTruncate(wal, 0);
  }
  sqlite3_close_v2(contest_db);
}
}  // namespace

void close_database() {
  if (!contest_db) {
    closed_as_moved = false;  // called again with nothing open: forget why the last one closed
    return;
  }
  closed_as_moved = !contest_file_in_place();
  if (closed_as_moved) close_moved_contest();
  else sqlite3_close(contest_db);
  contest_db = nullptr;
}
