// Placings entered and corrected on the main page. Every write stamps the row with the
// local time, so the next rescoring pass picks it up; scores are never written here.
#include "store/operations.h"
#include "store/patterns.h"

namespace {
using enum FieldKind;

// Key, class id, contestant number, placing, and the reasons score, which counts only when
// all five fields are given.
constexpr std::size_t FULL_FIELDS = 5;
constexpr std::size_t PLACING_FIELD = 3;

const BoundStatement INSERT_PLACING{
    "INSERT INTO placings (class_id, contestant_no, placing, reasons_score, timestamp) "
    "VALUES (?, ?, ?, ?, datetime('now', 'localtime'));",
    {{1, Number}, {2, Number}, {3, Number}, {4, OptionalNumber}}};
// An update without a reasons score clears a stored one.
const BoundStatement UPDATE_PLACING{
    "UPDATE placings SET class_id = ?, contestant_no = ?, placing = ?, reasons_score = ?, "
    "timestamp = datetime('now', 'localtime') WHERE id = ?;",
    {{1, Number}, {2, Number}, {3, Number}, {4, OptionalNumber}, {0, Number}}};
// A reasons score alone goes to the placing already held for that class and contestant.
const BoundStatement UPDATE_REASONS{
    "UPDATE placings SET reasons_score = ?, timestamp = datetime('now', 'localtime') "
    "WHERE class_id = ? AND contestant_no = ?;",
    {{4, Number}, {1, Number}, {2, Number}}};
}  // namespace

// Chosen by the key, whether a placing is given and, for a new key without a placing,
// whether a reasons score is: the cases with nothing to write answer the empty text at once.
std::string save_placing(const std::string& args) {
  const FieldList fields = split_fields(args);
  require_fields(fields, PLACING_FIELD + 1);
  const bool placing_given = !fields[PLACING_FIELD].empty();
  if (!is_new_key(fields[0]))
    return placing_given ? run_statement(UPDATE_PLACING, fields, FULL_FIELDS) : std::string();
  if (placing_given) return run_statement(INSERT_PLACING, fields, FULL_FIELDS);
  if (fields.size() != FULL_FIELDS) return std::string();
  // A reasons score for a contestant without a placing in that class has nowhere to go.
  Statement statement = prepare_bound(UPDATE_REASONS, fields, FULL_FIELDS);
  return step_changed_result(statement);
}

// Newest write first. Stamps have whole seconds, so among placings written within one
// second the one entered last (the higher id) comes first.
std::string fetch_placings(const std::string&) {
  return run_fetch(
      "SELECT id, class_id, contestant_no, placing, reasons_score FROM placings "
      "ORDER BY timestamp DESC, id DESC;");
}

// Every contestant, also one without placings; those missing the most come first. Placings
// have no index by contestant, so each table is read once and the rows are grouped by
// contestant number (store/schema.h); placings of no contestant are left out.
std::string fetch_placing_counts(const std::string&) {
  return run_fetch(
      "SELECT number, sum(placed) AS p_count, sum(reasoned) AS r_count FROM ("
      "SELECT number, 0 AS placed, 0 AS reasoned, 1 AS listed FROM contestants NOT INDEXED "
      "UNION ALL "
      "SELECT contestant_no, 1, reasons_score IS NOT NULL, 0 FROM placings NOT INDEXED) "
      "GROUP BY number HAVING max(listed) = 1 "
      "ORDER BY p_count ASC, r_count ASC, number ASC;");
}

std::string delete_placing(const std::string& key) {
  return run_delete(key, "DELETE FROM placings WHERE id = ?;");
}
