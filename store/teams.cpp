// Teams and groups: named by their number, fixed at insert; a team never leaves the
// division it was made in, so an update does not touch division_no.
#include "store/operations.h"
#include "store/patterns.h"

namespace {
using enum FieldKind;

// Key, division number, type, name, and the coach, which counts only when all five are given.
constexpr std::size_t FULL_FIELDS = 5;

const BoundStatement INSERT_TEAM{
    "INSERT INTO teams (division_no, type, name, coach) VALUES (?, ?, ?, ?);",
    {{1, Number}, {2, Text}, {3, Text}, {4, OptionalText}}};
const BoundStatement UPDATE_TEAM{
    "UPDATE teams SET type = ?, name = ?, coach = ? WHERE number = ?;",
    {{2, Text}, {3, Text}, {4, OptionalText}, {0, Number}}};
}  // namespace

std::string save_team(const std::string& args) {
  return run_save(args, FULL_FIELDS, INSERT_TEAM, UPDATE_TEAM);
}

std::string fetch_teams(const std::string&) {
  return run_fetch(
      "SELECT teams.id, divisions.name, teams.type, teams.name, teams.coach, teams.number "
      "FROM teams NOT INDEXED "
      "CROSS JOIN divisions INDEXED BY sqlite_autoindex_divisions_2 ON teams.division_no = divisions.number "
      "ORDER BY teams.id DESC;");
}

std::string delete_team(const std::string& key) {
  return run_delete(key, "DELETE FROM teams WHERE number = ?;");
}
