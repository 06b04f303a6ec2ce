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

Statement prepare_statement(const char* sql) {
  if (!contest_db) throw std::runtime_error("Database not initialized");
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

bool open_database(const std::string& utf8_path) {
  if (contest_db) return false;
  if (sqlite3_open_v2(utf8_path.c_str(), &contest_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) == SQLITE_OK)
    return true;
  sqlite3_close(contest_db);
  contest_db = nullptr;
  return false;
}

void close_database() {
  if (contest_db) sqlite3_close(contest_db);
  contest_db = nullptr;
}
