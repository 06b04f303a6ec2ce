// The page's fetches and saves on a contest at the schema's limits, opened as the page's Open
// does, on the same file without and with statistics in sqlite_stat1 that misstate its
// tables: as a database tool's ANALYZE writes them on a nearly empty contest, saying that
// every table holds one row, and the same written by another program while the contest is
// open. Each operation's time in milliseconds (the median of up to five runs), side by side,
// and whether it answered as without statistics.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/contest_generator.h"
#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "store/database.h"
#include "store/desktop_hooks.h"
#include "store/fields.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
const std::string SEP(1, FIELD_SEPARATOR);
// Statistics that say every table and index holds one row, each key one row.
const char* const ONE_ROW_STATISTICS =
    "BEGIN; ANALYZE; UPDATE sqlite_stat1 SET stat = "
    "substr('1 1 1 1', 1, (length(stat) - length(replace(stat, ' ', ''))) * 2 + 1); COMMIT;";

std::string opened_file;
std::string chosen() { return opened_file; }

// One or more payloads, timed together.
struct Step {
  const char* label;
  std::vector<std::string> payloads;
};

// Each run of a save writes the same row again; a class's save makes the next pass rescore
// its placings.
std::vector<Step> steps() {
  std::vector<Step> all;
  for (const char* fetch : {"fetch_divisions", "fetch_teams", "fetch_contestants", "fetch_contestant_counts",
                            "fetch_classes", "fetch_placings", "fetch_placing_counts", "fetch_indiv_scores",
                            "fetch_indiv_rankings", "fetch_team_rankings"})
    all.push_back({fetch, {std::string(fetch) + ":"}});
  all.push_back({"fetch_card_names_and_placing", {"fetch_card_names_and_placing:1011" + SEP + "1"}});
  all.push_back({"save_placing", {"save_placing:1" + SEP + "1" + SEP + "1011" + SEP + "4321" + SEP + "40"}});
  all.push_back({"save_card_reasons", {"save_card_reasons:1011" + SEP + "6" + SEP + "30"}});
  all.push_back({"save_class, pass and rankings",
                 {"save_class:1" + SEP + "1" + SEP + "Class 1" + SEP + "4321" + SEP + "213", "fetch_indiv_rankings:"}});
  return all;
}

struct Condition {
  const char* name;
  std::string before_open;  // SQL run on the file before it is opened
  std::string while_open;   // SQL another program runs once it is open
};

void run_sql(const std::string& file, const std::string& sql) {
  if (sql.empty()) return;
  Connection other(file, SQLITE_OPEN_READWRITE);
  execute_script(other.db, sql);
}

struct Timing {
  double ms;
  std::string answer;
};

std::vector<Timing> measure(const fs::path& original, const fs::path& work, const Condition& condition) {
  close_database();
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(work.string() + suffix);
  fs::copy_file(original, work);
  run_sql(work.string(), condition.before_open);
  opened_file = work.string();
  if (run_payload("open_contest:").rfind("ERROR:", 0) == 0) std::abort();
  run_sql(work.string(), condition.while_open);
  std::vector<Timing> timings;
  for (const Step& step : steps()) {
    std::vector<double> runs;
    std::string answer;
    // A slow operation runs once: a second run would tell no more.
    while (runs.size() < 5 && (runs.empty() || runs.back() < 1000)) {
      const auto start = Clock::now();
      answer.clear();
      for (const std::string& payload : step.payloads) answer += run_payload(payload);
      runs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(runs.begin(), runs.end());
    timings.push_back({runs[runs.size() / 2], answer});
  }
  close_database();
  return timings;
}
}  // namespace

int main() {
  std::string folder = (fs::temp_directory_path() / "tallywell-statistics-bench-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 1;
  const fs::path original = fs::path(folder) / "scored.db";
  const fs::path small = fs::path(folder) / "small.db";
  const fs::path work = fs::path(folder) / "contest.db";
  write_contest(original.string());
  // Scored once, as the contest stands after its first rankings.
  initialize_functions();
  choose_contest_file = chosen;
  opened_file = original.string();
  if (run_payload("open_contest:").rfind("ERROR:", 0) == 0) return 1;
  run_payload("fetch_indiv_rankings:");
  close_database();
  // A contest as it stands at set-up: one division of one team of two, one class, two placings.
  ContestShape set_up;
  set_up.divisions = 1;
  set_up.teams_per_division = 1;
  set_up.contestants_per_team = 2;
  set_up.class_types = 1;
  set_up.classes = 1;
  set_up.reasons_classes = 0;
  write_contest(small.string(), set_up);
  run_sql(small.string(), "ANALYZE;");

  const std::vector<Condition> conditions = {
      {"none", "", ""},
      {"nearly empty", "ANALYZE; DELETE FROM sqlite_stat1; ATTACH '" + small.string() +
                           "' AS small; INSERT INTO sqlite_stat1 SELECT * FROM small.sqlite_stat1;",
       ""},
      {"one row", ONE_ROW_STATISTICS, ""},
      {"one row, written open", "", ONE_ROW_STATISTICS},
  };
  std::vector<std::vector<Timing>> results;
  for (const Condition& condition : conditions) results.push_back(measure(original, work, condition));

  std::printf("%-30s", "ms, statistics:");
  for (const Condition& condition : conditions) std::printf("%24s", condition.name);
  std::printf("\n");
  const std::vector<Step> all = steps();
  for (std::size_t i = 0; i < all.size(); ++i) {
    std::printf("%-30s", all[i].label);
    for (const auto& timings : results) {
      const bool same = timings[i].answer == results[0][i].answer;
      std::printf("%22.2f%2s", timings[i].ms, same ? "" : " *");
    }
    std::printf("\n");
  }
  std::printf("* answered otherwise than without statistics\n");
  fs::remove_all(folder);
  return 0;
}
