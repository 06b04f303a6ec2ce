// The rescoring pass: scores are derived data, brought up to date lazily before they are read.
#include <string>
#include <vector>

#include "store/database.h"
#include "store/failures.h"
#include "store/scoring.h"

namespace {
struct ClassKey {
  long long id;  // ids are 64-bit: a file written by another program may hold any
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

// A class's placings, by its index (store/schema.h), that were saved at or after the last pass
// (stamps are whole seconds, so equal means maybe later), saved before their class's last
// save, or never scored.
const char* const SELECT_SQL = R"SQL(
SELECT id, placing, reasons_score FROM placings INDEXED BY sqlite_autoindex_placings_1
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

std::vector<ClassKey> scorable_classes() {
  std::vector<ClassKey> classes;
  Statement query = prepare_statement(CLASSES_SQL);
  // A failed step raises: a short list would score some classes and then stamp the pass as
  // if it had scored all.
  while (query.next_row()) classes.push_back({column_int64(query, 0), column_int(query, 1), column_int(query, 2)});
  return classes;
}

void score_class(const ClassKey& key, const std::string& since, Statement& selection, Statement& update) {
  selection.bind_int64(1, key.id);
  selection.bind_text(2, since);
  selection.bind_int64(3, key.id);
  while (selection.next_row()) {
    const long long placing_id = column_int64(selection, 0);
    const int score = placing_score(column_int(selection, 1), key.placing, key.cuts);
    // A reasons score may be any 32-bit number, so the total needs 64 bits; NULL reads as 0.
    const long long total = static_cast<long long>(score) + column_int64(selection, 2);
    update.bind_int(1, score);
    update.bind_int64(2, total);
    update.bind_int64(3, placing_id);
    update.execute();
    update.reset();
    clear_bindings(update);
  }
  selection.reset();
  clear_bindings(selection);
}
}  // namespace

bool scores_out_of_date(std::string scored_at) {
  Statement query = prepare_statement(STATE_SQL);
  if (!query.next_row()) throw DatabaseProblem("The scoring state gave no row");
  const std::string latest = column_text(query, 0);
  const bool unscored = column_int(query, 1) != 0;
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
      clock_set_back = column_int(query, 1) != 0;
    }
  }
  if (!clock_set_back && !scores_out_of_date(scored_at)) return;
  // Every stamp compares at or after the empty text: a full pass.
  const std::string since = clock_set_back ? std::string() : scored_at;

  const std::vector<ClassKey> classes = scorable_classes();
  // IMMEDIATE takes the write lock at the start, waiting out the busy timeout while another
  // program holds it, as every save does. A deferred transaction would first read, and its
  // first update would then be refused at once: SQLite cannot wait to upgrade a read.
  TransactionGuard pass(TransactionGuard::Immediate);
  {
    // Prepared inside the transaction, so that a failure finalizes them before the rollback.
    Statement selection = prepare_statement(SELECT_SQL);
    Statement update = prepare_statement(UPDATE_SQL);
    for (const ClassKey& key : classes) score_class(key, since, selection, update);
  }
  pass.commit();

  // Stamped only once the scores are stored. Should it fail, the old stamp stays and the
  // next pass selects the same placings again and stores the same scores.
  Statement stamp = prepare_statement(STAMP_SQL);
  static_cast<void>(stamp.step());
}

void keep_scored_at_behind_saves() {
  execute_script(contest_db, SCORED_AT_FOLLOWS_SAVES_SQL);
}
