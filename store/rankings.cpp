// Individual and team rankings per division: by class type, for reasons, and overall.
// Each is one query; SQL's NULL rules (SUM of nothing is NULL, NULL sorts lowest) give the
// empty scores their place at the bottom.
#include <string>

#include "store/operations.h"
#include "store/patterns.h"
#include "store/scoring.h"

namespace {
// Division, class type, rank, score, contestant or team, team or coach.
constexpr int RANKING_COLUMNS = 6;

// Each contestant's score sums within one class type, and the joins from a placing up to
// its division; both rankings group these by division, class type and contestant. The few
// class types and classes come first, each class's placings by its index (store/schema.h).
const std::string CONTESTANT_SUMS_FROM_PLACINGS = R"SQL(
         sum(placings.total_score) AS total_score_sum,
         sum(placings.reasons_score) AS reasons_score_sum,
         sum(CASE WHEN placings.reasons_score IS NULL THEN 0 ELSE placings.placing_score END)
           AS reasons_placing_sum
  FROM class_types NOT INDEXED
  CROSS JOIN classes NOT INDEXED ON classes.type_id = class_types.id
  CROSS JOIN placings INDEXED BY sqlite_autoindex_placings_1 ON placings.class_id = classes.id
  CROSS JOIN contestants INDEXED BY sqlite_autoindex_contestants_2
    ON contestants.number = placings.contestant_no
  CROSS JOIN teams INDEXED BY sqlite_autoindex_teams_1 ON teams.number = contestants.team_no
  CROSS JOIN divisions INDEXED BY sqlite_autoindex_divisions_2 ON divisions.number = teams.division_no
)SQL";

// The trailing columns only order the compound: ORDER BY over a UNION ALL may name result
// columns only. kind keeps a class type whose id reaches 998 from interleaving with the
// "Reasons" or "Overall" rows; the last two keys make rows of equal rank come in a stable
// order, by name then number.
const std::string INDIV_RANKINGS_SQL = R"SQL(
WITH
class_type_count AS (SELECT count(*) AS n FROM class_types),
contestant_data AS (
  SELECT divisions.name AS division, divisions.number AS division_number,
         class_types.name AS class_type, class_types.id AS class_type_id,
         contestants.name AS contestant, contestants.number AS contestant_number,
         teams.name AS team,
)SQL" + CONTESTANT_SUMS_FROM_PLACINGS + R"SQL(
  GROUP BY divisions.number, class_types.id, contestants.number),
overall_scores AS (
  SELECT division, division_number, contestant, contestant_number, team,
         sum(total_score_sum) AS overall_total_score,
         sum(reasons_score_sum) AS overall_reasons_score,
         sum(reasons_placing_sum) AS overall_reasons_placing_sum
  FROM contestant_data
  GROUP BY division_number, contestant_number)
SELECT division, class_type,
       rank() OVER (PARTITION BY division_number, class_type_id
                    ORDER BY total_score_sum DESC, reasons_score_sum DESC) AS rank,
       total_score_sum AS score_sum, contestant, team,
       division_number, class_type_id AS ordering_key, 0 AS kind, contestant_number
FROM contestant_data
WHERE (SELECT n FROM class_type_count) > 1 AND class_type != 'None'
UNION ALL
SELECT division, 'Reasons',
       rank() OVER (PARTITION BY division_number
                    ORDER BY overall_reasons_score DESC, overall_reasons_placing_sum ASC),
       overall_reasons_score, contestant, team,
       division_number, 998, 1, contestant_number
FROM overall_scores
UNION ALL
SELECT division, 'Overall',
       rank() OVER (PARTITION BY division_number
                    ORDER BY overall_total_score DESC, overall_reasons_score DESC),
       overall_total_score, contestant, team,
       division_number, 999, 2, contestant_number
FROM overall_scores
ORDER BY division_number, ordering_key, kind, rank, contestant, contestant_number)SQL";

// A team's score is the sum over its best team_size contestants in each ranking; a team
// with fewer than team_size contestants in a ranking is left out of it.
const std::string TEAM_RANKINGS_SQL = R"SQL(
WITH
class_type_count AS (SELECT count(*) AS n FROM class_types),
contestant_data AS (
  SELECT divisions.name AS division, divisions.number AS division_number,
         divisions.team_size AS team_size,
         class_types.name AS class_type, class_types.id AS class_type_id,
         contestants.number AS contestant_number,
         teams.name AS team, teams.number AS team_number, teams.coach AS coach,
)SQL" + CONTESTANT_SUMS_FROM_PLACINGS + R"SQL(
  WHERE teams.type = 'Team'
  GROUP BY divisions.number, class_types.id, contestants.number),
overall_scores AS (
  SELECT division, division_number, team_size, team, team_number, coach, contestant_number,
         sum(total_score_sum) AS overall_total_score,
         sum(reasons_score_sum) AS overall_reasons_score,
         sum(reasons_placing_sum) AS overall_reasons_placing_sum
  FROM contestant_data
  GROUP BY division_number, team_number, contestant_number),
ranked_contestants AS (
  SELECT *, row_number() OVER (PARTITION BY division_number, class_type_id, team_number
                               ORDER BY total_score_sum DESC, reasons_score_sum DESC) AS class_rank
  FROM contestant_data),
ranked_reasons AS (
  SELECT *, row_number() OVER (PARTITION BY division_number, team_number
                               ORDER BY overall_reasons_score DESC,
                                        overall_reasons_placing_sum ASC) AS reasons_rank
  FROM overall_scores),
ranked_overall AS (
  SELECT *, row_number() OVER (PARTITION BY division_number, team_number
                               ORDER BY overall_total_score DESC,
                                        overall_reasons_score DESC) AS overall_rank
  FROM overall_scores),
class_type_teams AS (
  SELECT division, division_number, class_type, class_type_id, team, team_number, coach,
         sum(total_score_sum) AS score_sum, sum(reasons_score_sum) AS tie_sum
  FROM ranked_contestants
  WHERE class_rank <= team_size
  GROUP BY division_number, class_type_id, team_number
  HAVING count(*) = max(team_size)),
reasons_teams AS (
  SELECT division, division_number, team, team_number, coach,
         sum(overall_reasons_score) AS score_sum, sum(overall_reasons_placing_sum) AS tie_sum
  FROM ranked_reasons
  WHERE reasons_rank <= team_size
  GROUP BY division_number, team_number
  HAVING count(*) = max(team_size)),
overall_teams AS (
  SELECT division, division_number, team, team_number, coach,
         sum(overall_total_score) AS score_sum, sum(overall_reasons_score) AS tie_sum
  FROM ranked_overall
  WHERE overall_rank <= team_size
  GROUP BY division_number, team_number
  HAVING count(*) = max(team_size))
SELECT division, class_type,
       rank() OVER (PARTITION BY division_number, class_type_id
                    ORDER BY score_sum DESC, tie_sum DESC) AS rank,
       score_sum, team, coach,
       division_number, class_type_id AS ordering_key, 0 AS kind, team_number
FROM class_type_teams
WHERE (SELECT n FROM class_type_count) > 1 AND class_type != 'None'
UNION ALL
SELECT division, 'Reasons',
       rank() OVER (PARTITION BY division_number ORDER BY score_sum DESC, tie_sum ASC),
       score_sum, team, coach, division_number, 998, 1, team_number
FROM reasons_teams
UNION ALL
SELECT division, 'Overall',
       rank() OVER (PARTITION BY division_number ORDER BY score_sum DESC, tie_sum DESC),
       score_sum, team, coach, division_number, 999, 2, team_number
FROM overall_teams
ORDER BY division_number, ordering_key, kind, rank, team, team_number)SQL";

std::string fetch_ranking(const std::string& sql) {
  Statement statement = prepare_statement(sql.c_str());
  return collect_rows(statement, RANKING_COLUMNS);
}
}  // namespace

std::string fetch_indiv_rankings(const std::string&) {
  rescore_placings();
  return fetch_ranking(INDIV_RANKINGS_SQL);
}

// No pass of its own: the page asks for it right after the individual rankings.
std::string fetch_team_rankings(const std::string&) { return fetch_ranking(TEAM_RANKINGS_SQL); }
