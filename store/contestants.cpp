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
      "FROM contestants NOT INDEXED "
      "CROSS JOIN teams INDEXED BY sqlite_autoindex_teams_1 ON contestants.team_no = teams.number "
      "CROSS JOIN divisions INDEXED BY sqlite_autoindex_divisions_2 ON teams.division_no = divisions.number "
      "ORDER BY contestants.id DESC;");
}

// Every team, also one without contestants; the team that gained the latest contestant
// comes first, and empty teams (no largest id) come last. Contestants have no index by team,
// so each table is read once and the rows are grouped by team number (store/schema.h).
std::string fetch_contestant_counts(const std::string&) {
  return run_fetch(
      "SELECT divisions.name, team, contestant_count FROM ("
      "SELECT max(division_no) AS division_no, max(name) AS team, count(contestant) AS contestant_count, "
      "max(contestant) AS latest FROM ("
      "SELECT number, division_no, name, NULL AS contestant FROM teams NOT INDEXED "
      "UNION ALL "
      "SELECT team_no, NULL, NULL, id FROM contestants NOT INDEXED) "
      "GROUP BY number HAVING team IS NOT NULL) "
      "CROSS JOIN divisions INDEXED BY sqlite_autoindex_divisions_2 ON division_no = divisions.number "
      "ORDER BY latest DESC;");
}

std::string delete_contestant(const std::string& key) {
  return run_delete(key, "DELETE FROM contestants WHERE number = ?;");
}
