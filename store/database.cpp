#include "store/database.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

#include "store/failures.h"

sqlite3* contest_db = nullptr;

struct KeptStatement {
  sqlite3_stmt* stmt = nullptr;
  bool held = false;  // a Statement holder has it
};

namespace {
// The statements the open contest keeps, by their SQL; finalized before it closes.
std::unordered_map<std::string, KeptStatement> kept_statements;
// Counts the closes, so that a holder never touches a kept statement finalized under it.
unsigned long closes = 0;

void finalize_kept_statements() {
  for (auto& [sql, kept] : kept_statements) sqlite3_finalize(kept.stmt);
  kept_statements.clear();
  ++closes;
}

// True when no holder has a statement on the contest: every statement it has is a kept one
// that is not held.
bool no_statement_held() {
  std::size_t statements = 0, idle = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(contest_db, nullptr); s; s = sqlite3_next_stmt(contest_db, s)) ++statements;
  for (const auto& [sql, kept] : kept_statements)
    if (!kept.held) ++idle;
  return statements == idle;
}
}  // namespace

Statement::Statement(Statement&& other) noexcept
    : changes(other.changes), db(other.db), stmt(other.stmt), kept(other.kept), kept_generation(other.kept_generation) {
  other.stmt = nullptr;
  other.kept = nullptr;
  other.changes = 0;
}

Statement::~Statement() {
  if (kept) {
    // Ready for the next holder; nothing left bound, no read left open.
    if (kept_generation == closes) {
      sqlite3_reset(stmt);
      sqlite3_clear_bindings(stmt);
      kept->held = false;
    }
  } else if (stmt) {
    sqlite3_finalize(stmt);
  }
  stmt = nullptr;
  kept = nullptr;
  changes = 0;
}

void Statement::raise(const char* what) const {
  throw SqliteFailure(std::string(what) + ": " + sqlite3_errmsg(db), sqlite3_extended_errcode(db));
}

int Statement::step() {
  const int rc = sqlite3_step(stmt);
  if (rc == SQLITE_DONE) changes = sqlite3_changes(db);
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
  // The connection's extended code names the same failure more closely.
  const int code = sqlite3_extended_errcode(db);
  return (code & 0xFF) == (rc & 0xFF) ? code : rc;
}

bool Statement::next_row() {
  const int rc = step();
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  raise("Failed to step statement");
}

void Statement::execute() {
  while (next_row()) {
  }
}

void Statement::reset() {
  if (sqlite3_reset(stmt) != SQLITE_OK) raise("Failed to reset statement");
}

void Statement::check_bind(int rc) const {
  if (rc != SQLITE_OK) raise("Failed to bind a parameter");
}

void Statement::bind_text(int index, const std::string& text) {
  // The length is given so that a NUL inside a field is stored, not cut.
  check_bind(sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
}

void Statement::bind_int(int index, int value) { check_bind(sqlite3_bind_int(stmt, index, value)); }

void Statement::bind_int64(int index, long long value) { check_bind(sqlite3_bind_int64(stmt, index, value)); }

void Statement::bind_null(int index) { check_bind(sqlite3_bind_null(stmt, index)); }

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

void require_contest_in_place() {
  if (!contest_db) {
    if (closed_as_moved) raise_moved();
    throw NoContestOpen();
  }
  // Every operation that uses the contest prepares first, so nothing is read from or written
  // to a file that is no longer the contest's. The connection is closed at once when nothing
  // of it is running; otherwise by the next operation, or at exit.
  if (!contest_file_in_place()) {
    if (no_statement_held() && sqlite3_get_autocommit(contest_db)) close_database();
    raise_moved();
  }
}
}  // namespace

Statement prepare_statement(const char* sql) {
  require_contest_in_place();
  return prepare_statement(contest_db, sql);
}

Statement prepare_kept_statement(const char* sql) {
  require_contest_in_place();
  const auto [entry, added] = kept_statements.try_emplace(sql);
  KeptStatement& kept = entry->second;
  if (kept.held) return prepare_statement(contest_db, sql);
  if (added) {
    try {
      Statement prepared = prepare_statement(contest_db, sql);
      std::swap(kept.stmt, prepared.stmt);
    } catch (...) {
      kept_statements.erase(entry);
      throw;
    }
  }
  kept.held = true;
  Statement holder(contest_db, kept.stmt);
  holder.kept = &kept;
  holder.kept_generation = closes;
  return holder;
}

Statement prepare_statement(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    const int code = sqlite3_extended_errcode(db);
    const std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    throw SqliteFailure("Failed to prepare statement: " + message, code);
  }
  return Statement(db, stmt);
}

std::string column_text(const Statement& statement, int column) {
  const auto* text = sqlite3_column_text(statement.stmt, column);
  if (!text) return std::string();
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(statement.stmt, column)));
}

int column_int(const Statement& statement, int column) { return sqlite3_column_int(statement.stmt, column); }

long long column_int64(const Statement& statement, int column) {
  return sqlite3_column_int64(statement.stmt, column);
}

int column_count(const Statement& statement) { return sqlite3_column_count(statement.stmt); }

void clear_bindings(Statement& statement) {
  if (sqlite3_clear_bindings(statement.stmt) != SQLITE_OK) statement.raise("Failed to clear bindings");
}

void execute_script(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    throw SqliteFailure(std::string("Failed to run a script: ") + sqlite3_errmsg(db), sqlite3_extended_errcode(db));
}

TransactionGuard::TransactionGuard(Kind kind, sqlite3* connection)
    : db(connection), on_contest(connection && connection == contest_db) {
  if (!db) throw NoContestOpen();
  if (sqlite3_exec(db, kind == Immediate ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
    throw SqliteFailure("Failed to begin transaction", sqlite3_extended_errcode(db));
}

void TransactionGuard::commit() {
  if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
    throw SqliteFailure("Failed to commit transaction", sqlite3_extended_errcode(db));
  committed = true;
}

TransactionGuard::~TransactionGuard() {
  // A contest closed meanwhile took its transaction and its connection with it. Nothing to
  // report to from here: a ROLLBACK that fails leaves nothing more to undo.
  if (committed || (on_contest && db != contest_db)) return;
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

Connection::Connection(const std::string& path, int flags) {
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) == SQLITE_OK) return;
  const int code = db ? sqlite3_extended_errcode(db) : SQLITE_NOMEM;
  const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
  sqlite3_close(db);
  throw SqliteFailure("Failed to open " + path + ": " + message, code);
}

Connection::~Connection() { sqlite3_close(db); }

void checkpoint_truncate(sqlite3* db) {
  if (sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) != SQLITE_OK)
    throw SqliteFailure(std::string("Failed to merge the WAL: ") + sqlite3_errmsg(db), sqlite3_extended_errcode(db));
}

namespace {
// Contest files travel between machines: no statement may damage the file on purpose, and
// the file's own triggers and views may call no function that has effects beyond its result.
bool guard_against_foreign_files(sqlite3* db) {
  return sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) == SQLITE_OK &&
         sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) == SQLITE_OK;
}
}  // namespace

bool open_database(const std::string& utf8_path, int flags) {
  if (contest_db) return false;
  if (sqlite3_open_v2(utf8_path.c_str(), &contest_db, flags, nullptr) == SQLITE_OK &&
      guard_against_foreign_files(contest_db)) {
    closed_as_moved = false;
    return true;
  }
  sqlite3_close(contest_db);
  contest_db = nullptr;
  return false;
}

namespace {
using Clock = std::chrono::steady_clock;

int lock_wait_milliseconds = 0;      // set_busy_timeout's; used on the worker thread only
Clock::time_point lock_wait_began;  // of the wait under way
// No wait goes past this, whatever thread set it (limit_lock_waits).
std::atomic<Clock::rep> lock_waits_end{Clock::time_point::max().time_since_epoch().count()};

// SQLite's busy handler: called while another program holds a lock a statement needs, with
// count 0 at the first call of each wait; answers whether to try again.
int wait_for_lock(void*, int count) {
  const Clock::time_point now = Clock::now();
  if (count == 0) lock_wait_began = now;
  const Clock::time_point end = std::min(lock_wait_began + std::chrono::milliseconds(lock_wait_milliseconds),
                                         Clock::time_point(Clock::duration(lock_waits_end.load())));
  if (now >= end) return 0;
  std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(10)));
  return 1;
}
}  // namespace

void set_busy_timeout(int milliseconds) {
  lock_wait_milliseconds = milliseconds;
  if (sqlite3_busy_handler(contest_db, wait_for_lock, nullptr) != SQLITE_OK)
    throw SqliteFailure("Failed to set the busy timeout", sqlite3_extended_errcode(contest_db));
}

void limit_lock_waits(std::chrono::steady_clock::time_point end) {
  lock_waits_end = end.time_since_epoch().count();
}

bool contest_is_read_only() { return sqlite3_db_readonly(contest_db, "main") == 1; }

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

void leave_wal_at_close() {
  sqlite3_db_config(contest_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

void close_database() {
  if (!contest_db) {
    closed_as_moved = false;  // called again with nothing open: forget why the last one closed
    return;
  }
  finalize_kept_statements();
  closed_as_moved = !contest_file_in_place();
  if (closed_as_moved) close_moved_contest();
  else sqlite3_close(contest_db);
  contest_db = nullptr;
}
