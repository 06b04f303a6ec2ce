#include "store/patterns.h"

#include <algorithm>

#include "store/failures.h"

namespace {
bool is_optional(FieldKind kind) {
  return kind == FieldKind::OptionalText || kind == FieldKind::OptionalNumber;
}
}  // namespace

std::size_t required_field_count(const std::vector<Param>& params) {
  std::size_t count = 0;
  for (const Param& p : params)
    if (!is_optional(p.kind)) count = std::max(count, p.field + 1);
  return count;
}

void bind_fields(Statement& statement, const FieldList& fields, const std::vector<Param>& params,
                 std::size_t full_count) {
  require_fields(fields, required_field_count(params));
  const bool optional_present = fields.size() == full_count;
  int index = 1;
  for (const Param& p : params) {
    switch (p.kind) {
      case FieldKind::Text:
        statement.bind_text(index, fields[p.field]);
        break;
      case FieldKind::Number:
        statement.bind_int(index, read_number(fields[p.field]));
        break;
      case FieldKind::OptionalText:
        if (optional_present) statement.bind_text(index, fields[p.field]);
        else statement.bind_null(index);
        break;
      case FieldKind::OptionalNumber:
        if (optional_present) statement.bind_int(index, read_number(fields[p.field]));
        else statement.bind_null(index);
        break;
    }
    ++index;
  }
}

std::string step_failure_result(int code) { return cause_text_or(code, CONSISTENCY_ERROR); }

std::string step_result(Statement& statement) {
  const int rc = statement.step();
  return rc == SQLITE_DONE ? std::string() : step_failure_result(rc);
}

std::string step_changed_result(Statement& statement) {
  if (const int rc = statement.step(); rc != SQLITE_DONE) return step_failure_result(rc);
  return statement.changes > 0 ? std::string() : CONSISTENCY_ERROR;
}

Statement prepare_bound(const BoundStatement& bound, const FieldList& fields, std::size_t full_count) {
  Statement statement = prepare_kept_statement(bound.sql);
  bind_fields(statement, fields, bound.params, full_count);
  return statement;
}

std::string run_statement(const BoundStatement& bound, const FieldList& fields, std::size_t full_count) {
  Statement statement = prepare_bound(bound, fields, full_count);
  return step_result(statement);
}

std::string run_save(const std::string& args, std::size_t full_count, const BoundStatement& insert,
                     const BoundStatement& update) {
  return run_save(split_fields(args), full_count, insert, update);
}

std::string run_save(const FieldList& fields, std::size_t full_count, const BoundStatement& insert,
                     const BoundStatement& update) {
  require_fields(fields, 1);
  return run_statement(is_new_key(fields[0]) ? insert : update, fields, full_count);
}

std::string run_delete(const std::string& key, const char* sql) {
  if (is_new_key(key)) return std::string();
  Statement statement = prepare_kept_statement(sql);
  statement.bind_int(1, read_number(key));
  return step_result(statement);
}

std::string collect_rows(Statement& statement) {
  return collect_rows(statement, column_count(statement));
}

std::string collect_rows(Statement& statement, int columns) {
  // A separator goes between every two fields, also after a first row whose only field is
  // empty; otherwise a one-column list would lose that row.
  std::string result;
  bool first_field = true;
  int rc;
  while ((rc = statement.step()) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      if (!first_field) result += FIELD_SEPARATOR;
      first_field = false;
      result += column_text(statement, c);
    }
  }
  if (rc != SQLITE_DONE) return DATABASE_PROBLEM_ERROR;
  return result;
}

std::string collect_one_row(Statement& statement) {
  if (statement.step() != SQLITE_ROW) return DATABASE_PROBLEM_ERROR;
  std::string row;
  const int columns = column_count(statement);
  for (int c = 0; c < columns; ++c) {
    if (c > 0) row += FIELD_SEPARATOR;
    row += column_text(statement, c);
  }
  return row;
}

std::string run_fetch(const char* sql) {
  Statement statement = prepare_statement(sql);
  return collect_rows(statement);
}
