// Divisions: named by their number (id x 1000), which the database assigns on insert.
#include "store/operations.h"
#include "store/patterns.h"

namespace {
using enum FieldKind;

// Key, name, and the team size, which counts only when all three fields are given.
constexpr std::size_t FULL_FIELDS = 3;

const BoundStatement INSERT_DIVISION{
    "INSERT INTO divisions (name, team_size) VALUES (?, ?);", {{1, Text}, {2, OptionalNumber}}};
const BoundStatement UPDATE_DIVISION{
    "UPDATE divisions SET name = ?, team_size = ? WHERE number = ?;",
    {{1, Text}, {2, OptionalNumber}, {0, Number}}};
}  // namespace

std::string save_division(const std::string& args) {
  return run_save(args, FULL_FIELDS, INSERT_DIVISION, UPDATE_DIVISION);
}

std::string fetch_divisions(const std::string&) {
  return run_fetch("SELECT id, name, team_size, number FROM divisions ORDER BY id;");
}

std::string delete_division(const std::string& key) {
  return run_delete(key, "DELETE FROM divisions WHERE number = ?;");
}
