// The rescoring pass: scores are derived data, brought up to date lazily before they are read.
#include <sqlite3.h>

#include <string>
#include <vector>

#include "store/database.h"
#include "store/failures.h"
#include "store/scoring.h"

namespace {
struct ClassKey {
  sqlite3_int64 id;  // ids are 64-bit: a file written by another program may hold any
  int placing;
  int cuts;
};

// The latest save of any class or placing, and whether any placing of a scorable class has
// never been scored (its save may carry a stamp from before a clock was set back). One
// aggregate over each table; the CASE spares scored placings the class lookup.
const char* const STATE_SQL = R"SQL(
SELECT max(latest), max(unscored) FROM (
  SELECT max(timestamp) AS latest, 0 AS unscored FROM classes
  UNION ALL
  SELECT max(timestamp),
         max(CASE WHEN total_score IS NULL
                  THEN class_id IN (SELECT id FROM classes WHERE placing IS NOT NULL AND cuts IS NOT NULL)
                  ELSE 0 END)
  FROM placings))SQL";

// A clock that reads earlier than the last pass's stamp has been set back: saves made since
// may carry older stamps than scored_at, so nothing short of a full pass is safe.
const char* const SCORED_AT_SQL =
    "SELECT scored_at, datetime('now', 'localtime') < scored_at FROM contest WHERE id = 1";

const char* const CLASSES_SQL =
    "SELECT id, placing, cuts FROM classes WHERE placing IS NOT NULL AND cuts IS NOT NULL "
    "ORDER BY id";

// Placings saved at or after the last pass (stamps are whole seconds, so equal means maybe
// later), placings saved before their class's last save, and placings never scored.
const char* const SELECT_SQL = R"SQL(
SELECT id, placing, reasons_score FROM placings
WHERE class_id = ?1
  AND (timestamp >= ?2 OR total_score IS NULL
       OR timestamp < (SELECT timestamp FROM classes WHERE id = ?3)))SQL";

// The timestamp stays: it records the placing's last save, not its last scoring.
const char* const UPDATE_SQL = "UPDATE placings SET placing_score = ?1, total_score = ?2 WHERE id = ?3";

const char* const STAMP_SQL = "UPDATE contest SET scored_at = datetime('now', 'localtime') WHERE id = 1";

// Saves on this connection that stamp a class or placing earlier than scored_at (the clock
// was set back since the last pass) bring scored_at back to their stamp, so the next pass
// finds them whenever it runs, also once the clock has passed the old stamp again. The
// pass's own score updates leave the timestamp column alone and so never fire these.
// Temporary triggers: nothing of them is written to the contest file.
const char* const SCORED_AT_FOLLOWS_SAVES_SQL = R"SQL(
CREATE TEMP TRIGGER IF NOT EXISTS scored_at_follows_placing_insert AFTER INSERT ON main.placings
WHEN NEW.timestamp < (SELECT scored_at FROM contest WHERE id = 1)
BEGIN UPDATE contest SET scored_at = NEW.timestamp WHERE id = 1; END;
CREATE TEMP TRIGGER IF NOT EXISTS scored_at_follows_placing_update AFTER UPDATE OF timestamp ON main.placings
WHEN NEW.timestamp < (SELECT scored_at FROM contest WHERE id = 1)
BEGIN UPDATE contest SET scored_at = NEW.timestamp WHERE id = 1; END;
CREATE TEMP TRIGGER IF NOT EXISTS scored_at_follows_class_insert AFTER INSERT ON main.classes
WHEN NEW.timestamp < (SELECT scored_at FROM contest WHERE id = 1)
BEGIN UPDATE contest SET scored_at = NEW.timestamp WHERE id = 1; END;
CREATE TEMP TRIGGER IF NOT EXISTS scored_at_follows_class_update AFTER UPDATE OF timestamp ON main.classes
WHEN NEW.timestamp < (SELECT scored_at FROM contest WHERE id = 1)
BEGIN UPDATE contest SET scored_at = NEW.timestamp WHERE id = 1; END;)SQL";

[[noreturn]] void raise_failure(const char* what) { throw SqliteFailure(what, sqlite3_extended_errcode(contest_db)); }

std::vector<ClassKey> scorable_classes() {
  std::vector<ClassKey> classes;
  Statement query = prepare_statement(CLASSES_SQL);
  int rc;
  while ((rc = query.step()) == SQLITE_ROW)
    classes.push_back({sqlite3_column_int64(query.stmt, 0), sqlite3_column_int(query.stmt, 1),
                       sqlite3_column_int(query.stmt, 2)});
  // A short list would score some classes and then stamp the pass as if it had scored all.
  if (rc != SQLITE_DONE) raise_failure("Failed to read the classes to score");
  return classes;
}

// Resets both statements so that the guard's ROLLBACK meets no statement still running,
// then raises; the guard then rolls the whole pass back.
[[noreturn]] void abandon_pass(Statement& selection, Statement& update, const char* what) {
  const int code = sqlite3_extended_errcode(contest_db);
  sqlite3_reset(selection.stmt);
  sqlite3_reset(update.stmt);
  throw SqliteFailure(what, code);
}

void score_class(const ClassKey& key, const std::string& since, Statement& selection, Statement& update) {
  selection.bind_int64(1, key.id);
  selection.bind_text(2, since);
  selection.bind_int64(3, key.id);
  int rc;
  while ((rc = selection.step()) == SQLITE_ROW) {
    const sqlite3_int64 placing_id = sqlite3_column_int64(selection.stmt, 0);
    const int score = placing_score(sqlite3_column_int(selection.stmt, 1), key.placing, key.cuts);
    // A reasons score may be any 32-bit number, so the total needs 64 bits.
    const long long total = static_cast<long long>(score) + sqlite3_column_int64(selection.stmt, 2);
    update.bind_int(1, score);
    update.bind_int64(2, total);
    update.bind_int64(3, placing_id);
    if (update.step() != SQLITE_DONE) abandon_pass(selection, update, "Failed to store scores");
    sqlite3_reset(update.stmt);
    clear_bindings(update);
  }
  if (rc != SQLITE_DONE) abandon_pass(selection, update, "Failed to select placings to score");
  sqlite3_reset(selection.stmt);
  clear_bindings(selection);
}
}  // namespace

bool scores_out_of_date(std::string scored_at) {
  Statement query = prepare_statement(STATE_SQL);
  if (query.step() != SQLITE_ROW) raise_failure("Failed to read the scoring state");
  const std::string latest = column_text(query, 0);
  const bool unscored = sqlite3_column_int(query.stmt, 1) != 0;
  // No class and no placing: nothing to score.
  if (latest.empty()) return false;
  return latest >= scored_at || unscored;
}

void rescore_placings() {
  std::string scored_at;
  bool clock_set_back = false;
  {
    Statement query = prepare_statement(SCORED_AT_SQL);
    if (query.step() == SQLITE_ROW) {
      scored_at = column_text(query, 0);
      clock_set_back = sqlite3_column_int(query.stmt, 1) != 0;
    }
  }
  if (!clock_set_back && !scores_out_of_date(scored_at)) return;
  // Every stamp compares at or after the empty text: a full pass.
  const std::string since = clock_set_back ? std::string() : scored_at;

  const std::vector<ClassKey> classes = scorable_classes();
  Statement selection = prepare_statement(SELECT_SQL);
  Statement update = prepare_statement(UPDATE_SQL);

  // IMMEDIATE takes the write lock at the start, waiting out the busy timeout while another
  // program holds it, as every save does. A deferred transaction would first read, and its
  // first update would then be refused at once: SQLite cannot wait to upgrade a read.
  if (sqlite3_exec(contest_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    raise_failure("Failed to begin transaction");
  TransactionGuard guard;
  for (const ClassKey& key : classes) score_class(key, since, selection, update);
  if (sqlite3_exec(contest_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
    raise_failure("Failed to commit scores");
  guard.committed = true;

  // Stamped only once the scores are stored. Should it fail, the old stamp stays and the
  // next pass selects the same placings again and stores the same scores.
  Statement stamp = prepare_statement(STAMP_SQL);
  stamp.step();
}

void keep_scored_at_behind_saves() {
  if (sqlite3_exec(contest_db, SCORED_AT_FOLLOWS_SAVES_SQL, nullptr, nullptr, nullptr) != SQLITE_OK)
    raise_failure("Failed to watch for saves stamped before the last pass");
}
