#pragma once
// The common save, delete and fetch patterns, so each operation is its SQL and its fields.
#include <cstddef>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/fields.h"

enum class FieldKind {
  Text,            // bound as text
  Number,          // read with std::stoi, bound as a 32-bit integer
  OptionalText,    // text only when the argument has exactly the full field count, else NULL
  OptionalNumber,  // number only when the argument has exactly the full field count, else NULL
};

struct Param {
  std::size_t field;
  FieldKind kind;
};

// One statement and the fields bound to its ? marks, in order.
struct BoundStatement {
  const char* sql;
  std::vector<Param> params;
};

// How many fields a statement reads at least (optional fields aside).
std::size_t required_field_count(const std::vector<Param>& params);

// Binds the fields in order; optional ones only when fields.size() == full_count.
// Raises when a required field is missing or a number field is not a number.
void bind_fields(Statement& statement, const FieldList& fields, const std::vector<Param>& params,
                 std::size_t full_count);

// The result of a save or delete whose step did not finish, from the step's result code: the
// text of its cause when the code names one outside the contest's rules (full disk, a file
// that cannot be written, a lock held elsewhere), else the consistency error.
std::string step_failure_result(int code);

// The empty text when the step finished, else step_failure_result().
std::string step_result(Statement& statement);

// As step_result, but a finished step that changed no row is refused too: for updates
// that must find their row to mean anything.
std::string step_changed_result(Statement& statement);

// Prepares the statement (kept by the contest: saves and deletes run often), then binds the
// fields to it (see bind_fields), ready to step.
Statement prepare_bound(const BoundStatement& bound, const FieldList& fields, std::size_t full_count);

// Prepares, binds and steps one statement, answering as step_result.
std::string run_statement(const BoundStatement& bound, const FieldList& fields, std::size_t full_count);

// Key "none" runs the insert; any other key runs the update (whose params end with the key).
std::string run_save(const std::string& args, std::size_t full_count, const BoundStatement& insert,
                     const BoundStatement& update);
// The same over fields already split, for a save that looks at them first.
std::string run_save(const FieldList& fields, std::size_t full_count, const BoundStatement& insert,
                     const BoundStatement& update);

// The whole argument is the key; "none" answers the empty text without touching the database.
std::string run_delete(const std::string& key, const char* sql);

// Reads every row of a prepared (and bound) statement, flattened with the separator. A step
// that fails part-way answers the database-problem error rather than a truncated list.
std::string collect_rows(Statement& statement);

// The same for the first column_count columns only; later columns may serve the ORDER BY of
// a compound SELECT, whose terms must be result columns.
std::string collect_rows(Statement& statement, int column_count);

// Reads the one row a query always yields, its columns joined by the separator; no row or a
// failed step answers the database-problem error.
std::string collect_one_row(Statement& statement);

// Prepares a statement without parameters and collects its rows.
std::string run_fetch(const char* sql);
