// Individual scores: every placing with its contestant, class and three scores.
#include "store/operations.h"
#include "store/patterns.h"
#include "store/scoring.h"

namespace {
const char* const INDIV_SCORES_SQL = R"SQL(
SELECT contestants.name, placings.contestant_no, classes.name, placings.class_id,
       placings.placing, placings.placing_score, placings.reasons_score, placings.total_score
FROM classes NOT INDEXED
CROSS JOIN placings INDEXED BY sqlite_autoindex_placings_1 ON placings.class_id = classes.id
CROSS JOIN contestants INDEXED BY sqlite_autoindex_contestants_2 ON contestants.number = placings.contestant_no
ORDER BY contestants.name, placings.class_id)SQL";
}  // namespace

std::string fetch_indiv_scores(const std::string&) {
  rescore_placings();
  return run_fetch(INDIV_SCORES_SQL);
}
