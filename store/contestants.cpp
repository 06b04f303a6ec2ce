// Contestants: named by their number, fixed at insert; only the name can change later,
// so a contestant never leaves its team.
#include "store/operations.h"
#include "store/patterns.h"

namespace {
using enum FieldKind;

// Key, team number, name; there is no optional field.
constexpr std::size_t FULL_FIELDS = 3;

const BoundStatement INSERT_CONTESTANT{
    "INSERT INTO contestants (team_no, name) VALUES (?, ?);", {{1, Number}, {2, Text}}};
const BoundStatement UPDATE_CONTESTANT{
    "UPDATE contestants SET name = ? WHERE number = ?;", {{2, Text}, {0, Number}}};
}  // namespace

std::string save_contestant(const std::string& args) {
  return run_save(args, FULL_FIELDS, INSERT_CONTESTANT, UPDATE_CONTESTANT);
}

std::string fetch_contestants(const std::string&) {
  return run_fetch(
      "SELECT divisions.name, teams.name, contestants.name, contestants.number "
      "FROM contestants "
      "JOIN teams ON contestants.team_no = teams.number "
      "JOIN divisions ON teams.division_no = divisions.number "
      "ORDER BY contestants.id DESC;");
}

// Every team, also one without contestants; the team that gained the latest contestant
// comes first, and empty teams (no largest id) come last.
std::string fetch_contestant_counts(const std::string&) {
  return run_fetch(
      "SELECT divisions.name, teams.name, COUNT(contestants.id) "
      "FROM teams "
      "LEFT JOIN contestants ON teams.number = contestants.team_no "
      "JOIN divisions ON teams.division_no = divisions.number "
      "GROUP BY teams.number "
      "ORDER BY MAX(contestants.id) DESC;");
}

std::string delete_contestant(const std::string& key) {
  return run_delete(key, "DELETE FROM contestants WHERE number = ?;");
}
