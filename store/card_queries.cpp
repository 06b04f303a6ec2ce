// The four operations behind the card API. Any device on the network can send any body,
// so these are the only place a card body is read, and the saves store only values a
// card could have sent.
#include <algorithm>
#include <optional>
#include <string>

#include "store/database.h"
#include "store/failures.h"
#include "store/operations.h"
#include "store/patterns.h"

namespace {
// Card bodies: contestant number first, class id second, then the value.
constexpr std::size_t CONTESTANT_FIELD = 0;
constexpr std::size_t CLASS_FIELD = 1;
constexpr std::size_t VALUE_FIELD = 2;

const BoundStatement card_names{
    "SELECT (SELECT name FROM contestants WHERE number = ?),"
    " (SELECT name FROM classes WHERE id = ?);",
    {{CONTESTANT_FIELD, FieldKind::Number}, {CLASS_FIELD, FieldKind::Number}}};

const BoundStatement card_names_and_placing{
    "SELECT (SELECT name FROM contestants WHERE number = ?),"
    " (SELECT name FROM classes WHERE id = ?),"
    " (SELECT placing FROM placings WHERE contestant_no = ? AND class_id = ?);",
    {{CONTESTANT_FIELD, FieldKind::Number},
     {CLASS_FIELD, FieldKind::Number},
     {CONTESTANT_FIELD, FieldKind::Number},
     {CLASS_FIELD, FieldKind::Number}}};

// Always an insert: the one-placing-per-class rule of the schema refuses a second card.
const BoundStatement card_placing{
    "INSERT INTO placings (class_id, contestant_no, placing, timestamp)"
    " VALUES (?, ?, ?, datetime('now', 'localtime'));",
    {{CLASS_FIELD, FieldKind::Number}, {CONTESTANT_FIELD, FieldKind::Number}, {VALUE_FIELD, FieldKind::Number}}};

// Only into a placing that has no reasons score yet; the new timestamp makes the next
// rescoring pass recompute its total.
const BoundStatement card_reasons{
    "UPDATE placings SET reasons_score = ?, timestamp = datetime('now', 'localtime')"
    " WHERE class_id = ? AND contestant_no = ? AND reasons_score IS NULL;",
    {{VALUE_FIELD, FieldKind::Number}, {CLASS_FIELD, FieldKind::Number}, {CONTESTANT_FIELD, FieldKind::Number}}};

// 0 (no placing given) or the four items each placed once: a placing such as 5555 would
// otherwise score as if it were the official one.
bool is_card_placing(int placing) {
  if (placing == 0) return true;
  if (placing < 1234 || placing > 4321) return false;
  std::string digits = std::to_string(placing);
  std::sort(digits.begin(), digits.end());
  return digits == "1234";
}

bool is_card_reasons_score(int score) { return score >= 0 && score <= 50; }

// The card pages send every number as plain digits: no sign, no blank, no leading zero but 0
// itself, nothing after. Read as std::stoi reads, "+9", " 9", "09", "9 ", "4e1" or "14.9" would
// each be taken for a number the phone never showed.
bool is_plain_number(const std::string& field) {
  if (field.empty() || (field[0] == '0' && field.size() > 1)) return false;
  return std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool numbers_are_plain(const FieldList& fields, const BoundStatement& statement) {
  return std::all_of(statement.params.begin(), statement.params.end(),
                     [&fields](const Param& p) { return is_plain_number(fields[p.field]); });
}

std::string fetch_names(const std::string& args, const BoundStatement& query) {
  if (!contest_db) return NO_CONTEST_ERROR;
  const FieldList fields = split_fields(args);
  Statement statement = prepare_statement(query.sql);
  bind_fields(statement, fields, query.params, fields.size());
  if (!numbers_are_plain(fields, query)) throw InvalidNumber();
  return collect_one_row(statement);
}

// A card save answers "false" when the contest's file was moved away: the phone has only
// "stored" and "not stored" to show. Other failures to prepare raise as for any operation.
std::optional<Statement> prepare_card_save(const char* sql) {
  try {
    return prepare_kept_statement(sql);
  } catch (const SqliteFailure& failure) {
    if (failure.code != SQLITE_READONLY_DBMOVED) throw;
    return std::nullopt;
  }
}

// The saves answer only "true" or "false"; a value that is read but is not a number
// raises like any other operation's, and the card pages count that as a failure too. A number
// written otherwise than a card page writes it is refused.
std::string save_card_value(const std::string& args, const BoundStatement& statement_text,
                            bool (*is_valid_value)(int), bool needs_changed_row) {
  if (!contest_db) return CARD_FALSE;
  const FieldList fields = split_fields(args);
  std::optional<Statement> prepared = prepare_card_save(statement_text.sql);
  if (!prepared) return CARD_FALSE;
  Statement& statement = *prepared;
  bind_fields(statement, fields, statement_text.params, fields.size());
  if (!numbers_are_plain(fields, statement_text)) return CARD_FALSE;
  if (!is_valid_value(read_number(fields[VALUE_FIELD]))) return CARD_FALSE;
  if (statement.step() != SQLITE_DONE) return CARD_FALSE;
  if (needs_changed_row && statement.changes == 0) return CARD_FALSE;
  return CARD_TRUE;
}
}  // namespace

std::string fetch_card_names(const std::string& args) { return fetch_names(args, card_names); }

std::string fetch_card_names_and_placing(const std::string& args) {
  return fetch_names(args, card_names_and_placing);
}

std::string save_card_placing(const std::string& args) {
  return save_card_value(args, card_placing, is_card_placing, false);
}

std::string save_card_reasons(const std::string& args) {
  return save_card_value(args, card_reasons, is_card_reasons_score, true);
}
