// A contest file's sqlite_stat1 is data from elsewhere, like its rows: whatever it says, and
// whenever it was written, every statement the operations run keeps the plan it has without
// it, and every fetch its answer.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/support/contest_fixture.h"

namespace {
// One call of every operation that runs SQL on the contest: saves as inserts and as updates,
// fetches, card queries and deletes; "|" stands for the field separator.
const std::vector<std::pair<std::string, std::string>> EVERY_OPERATION = {
    {"save_division", "1000|North|4"}, {"save_team", "1010|1000|Team|Reds|C"}, {"call_save_contestant", "1011|1010|A"},
    {"save_class_type", "1|Dairy"}, {"save_class", "1|1|Heifers|1234|123"}, {"save_placing", "none|2|1011|2134|40"},
    {"save_placing", "1|1|1011|4321|30"}, {"save_card_placing", "1013|2|1243"}, {"save_placing", "none|2|1013||20"},
    {"save_card_reasons", "1013|2|35"}, {"fetch_card_names", "1011|1"}, {"fetch_card_names_and_placing", "1011|1"},
    {"fetch_divisions", ""}, {"fetch_teams", ""}, {"fetch_contestants", ""}, {"fetch_contestant_counts", ""},
    {"fetch_class_types", ""}, {"fetch_classes", ""}, {"fetch_placings", ""}, {"fetch_placing_counts", ""},
    {"fetch_indiv_scores", ""}, {"fetch_indiv_rankings", ""}, {"fetch_team_rankings", ""}, {"delete_placing", "3"},
    {"delete_placing", "2"}, {"delete_class", "2"}, {"delete_class_type", "2"}, {"delete_contestant", "1014"},
    {"delete_team", "1020"}, {"delete_division", "2000"}};

std::string run(const std::pair<std::string, std::string>& operation) {
  std::string args = operation.second;
  std::replace(args.begin(), args.end(), '|', FIELD_SEPARATOR);
  return call(operation.first, args);
}

// Its steps in order. A Bloom filter, which SQLite may put before a lookup by key, changes no
// loop: left out.
std::string query_plan(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v2(contest_db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &stmt, nullptr);
  std::string plan = rc == SQLITE_OK ? "" : sqlite3_errmsg(contest_db);
  while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
    const std::string step = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
    if (step.rfind("BLOOM FILTER", 0) != 0) plan += step + "\n";
  }
  sqlite3_finalize(stmt);
  return plan;
}

// Each statement with its plan (the contest's triggers are its own rules, as they stand), and
// every fetch's answer.
std::vector<std::string> plans_and_answers(const std::set<std::string>& statements) {
  std::vector<std::string> all;
  for (const std::string& sql : statements) all.push_back(sql + "\n" + query_plan(sql));
  for (const auto& operation : EVERY_OPERATION)
    if (operation.first.rfind("fetch_", 0) == 0) all.push_back(operation.first + ": " + run(operation));
  return all;
}

using Statistics = ContestTest;

TEST_F(Statistics, MisleadingStatisticsChangeNoPlanNorAnswer) {
  for (const char* name : {"North", "South"}) expect_ok("save_division", {"none", name, "4"});
  for (const char* type : {"Team", "Group"}) expect_ok("save_team", {"none", "1000", type, type});
  for (const char* name : {"Ann", "Bob", "Cy", "Dee"}) expect_ok("call_save_contestant", {"none", "1010", name});
  for (const char* name : {"Dairy", "Beef"}) expect_ok("save_class_type", {"none", name});
  for (const char* name : {"Heifers", "Steers"}) expect_ok("save_class", {"none", "1", name, "1234", "123"});
  expect_ok("save_placing", {"none", "1", "1011", "1234", "40"});
  std::set<std::string> statements;  // the SQL of every statement the operations run
  sqlite3_trace_v2(
      contest_db, SQLITE_TRACE_STMT,
      [](unsigned, void* into, void* stmt, void*) {
        return static_cast<std::set<std::string>*>(into)->insert(sqlite3_sql(static_cast<sqlite3_stmt*>(stmt))), 0;
      },
      &statements);
  for (const auto& operation : EVERY_OPERATION) ASSERT_NE(run(operation).rfind("ERROR:", 0), 0u) << operation.first;
  sqlite3_trace_v2(contest_db, 0, nullptr, nullptr);
  const std::vector<std::string> without = plans_and_answers(statements);
  // A plan left to the planner, which weighs an automatic index on placings against scanning
  // them once per contestant by the statistics: it shows them in force.
  const std::string unfixed_plan = "SELECT count(placings.id) FROM contestants LEFT JOIN placings ON "
                                   "contestants.number = placings.contestant_no GROUP BY contestants.number";
  const std::string unfixed = query_plan(unfixed_plan);
  OtherProgram other(sqlite3_db_filename(contest_db, "main"));
  // Every table one row, written by another program while the contest is open; what ANALYZE
  // finds in a contest this small; placings one row and every other table a million.
  ASSERT_EQ(other.exec("BEGIN; ANALYZE; UPDATE sqlite_stat1 SET stat = substr('1 1 1 1', 1, "
                       "(length(stat) - length(replace(stat, ' ', ''))) * 2 + 1); COMMIT;"),
            SQLITE_OK);
  for (const char* next : {"", "ANALYZE;", "UPDATE sqlite_stat1 SET stat = CASE WHEN tbl = 'placings' THEN '1 1 1' "
                                           "ELSE '1000000 1 1' END; ANALYZE sqlite_schema;"}) {
    execute(next);
    query("SELECT count(*) FROM contest;");  // another program's schema is read at the next read
    ASSERT_NE(query_plan(unfixed_plan), unfixed) << "the statistics are not in force before: " << next;
    const std::vector<std::string> with = plans_and_answers(statements);
    for (std::size_t k = 0; k < without.size(); ++k) EXPECT_EQ(with[k], without[k]) << "before: " << next;
  }
}
}  // namespace
