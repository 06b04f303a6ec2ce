// Scoring and ranking on a contest at the schema's limits: the rescoring pass (first, idle and
// after one class changed) beside the bare UPDATE loop it cannot beat, and the three fetches.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/contest_generator.h"
#include "store/database.h"
#include "store/operations.h"
#include "store/scoring.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
fs::path folder;
fs::path fresh_contest;   // as written by the generator: nothing scored yet
fs::path scored_contest;  // the same after one pass
fs::path work_file;
std::map<std::string, double> mean_seconds;

void exec(const char* sql) {
  if (sqlite3_exec(contest_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(contest_db));
    std::abort();
  }
}

// Opens a fresh copy of the file as the contest connection, set up as opening a contest does.
void open_copy(const fs::path& from) {
  close_database();
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(work_file.string() + suffix);
  fs::copy_file(from, work_file);
  if (!open_database(work_file.string())) std::abort();
  exec("PRAGMA foreign_keys = ON");
  exec("PRAGMA synchronous = NORMAL");
  set_busy_timeout(5000);
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void record(benchmark::State& state, const std::string& name, double total) {
  mean_seconds[name] = total / static_cast<double>(state.iterations());
}

long long count_placings() {
  Statement count = prepare_statement("SELECT count(*) FROM placings");
  count.next_row();
  return column_int64(count, 0);
}

void BM_FirstPass(benchmark::State& state) {
  double total = 0;
  long long placings = 0;
  for (auto _ : state) {
    open_copy(fresh_contest);
    placings = count_placings();
    const auto start = Clock::now();
    rescore_placings();
    const double s = seconds_since(start);
    state.SetIterationTime(s);
    total += s;
  }
  close_database();
  record(state, "first pass", total);
  state.counters["placings"] = static_cast<double>(placings);
}
BENCHMARK(BM_FirstPass)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

struct ScoreUpdate {
  int id;
  int placing_score;
  long long total_score;
};

// The rows the first pass writes and the values it stores, in the order it writes them.
std::vector<ScoreUpdate> first_pass_updates() {
  open_copy(scored_contest);
  std::vector<ScoreUpdate> updates;
  Statement query = prepare_statement(
      "SELECT placings.id, placings.placing_score, placings.total_score FROM placings "
      "JOIN classes ON classes.id = placings.class_id "
      "WHERE classes.placing IS NOT NULL AND classes.cuts IS NOT NULL "
      "ORDER BY placings.class_id, placings.contestant_no");
  while (query.next_row())
    updates.push_back({column_int(query, 0), column_int(query, 1), column_int64(query, 2)});
  return updates;
}

// The physical limit of the first pass: the same UPDATE for the same rows in one transaction.
void BM_BareUpdateLoop(benchmark::State& state) {
  const std::vector<ScoreUpdate> updates = first_pass_updates();
  double total = 0;
  for (auto _ : state) {
    open_copy(fresh_contest);
    const auto start = Clock::now();
    {
      Statement update = prepare_statement("UPDATE placings SET placing_score = ?1, total_score = ?2 WHERE id = ?3");
      TransactionGuard transaction(TransactionGuard::Deferred);
      for (const ScoreUpdate& u : updates) {
        update.bind_int(1, u.placing_score);
        update.bind_int64(2, u.total_score);
        update.bind_int(3, u.id);
        update.execute();
        update.reset();
        clear_bindings(update);
      }
      transaction.commit();
    }
    const double s = seconds_since(start);
    state.SetIterationTime(s);
    total += s;
  }
  close_database();
  record(state, "bare update loop", total);
  state.counters["placings"] = static_cast<double>(updates.size());
}
BENCHMARK(BM_BareUpdateLoop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_PassNothingChanged(benchmark::State& state) {
  open_copy(scored_contest);
  const int changes = sqlite3_total_changes(contest_db);
  for (auto _ : state) rescore_placings();
  if (sqlite3_total_changes(contest_db) != changes) state.SkipWithError("the idle pass wrote something");
  close_database();
}
BENCHMARK(BM_PassNothingChanged)->Unit(benchmark::kMicrosecond);

void BM_PassAfterOneClassChanged(benchmark::State& state) {
  double total = 0;
  int placing = 4321;
  for (auto _ : state) {
    open_copy(scored_contest);
    placing = placing == 4321 ? 2143 : 4321;
    exec(("UPDATE classes SET placing = " + std::to_string(placing) +
          ", timestamp = datetime('now', 'localtime') WHERE id = 1").c_str());
    const auto start = Clock::now();
    rescore_placings();
    const double s = seconds_since(start);
    state.SetIterationTime(s);
    total += s;
  }
  close_database();
  record(state, "pass after one class changed", total);
}
BENCHMARK(BM_PassAfterOneClassChanged)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

template <std::string (*Fetch)(const std::string&)>
void BM_Fetch(benchmark::State& state) {
  open_copy(scored_contest);
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string result = Fetch("");
    if (result.rfind("ERROR:", 0) == 0) state.SkipWithError(result.c_str());
    size = result.size();
  }
  close_database();
  state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_Fetch<fetch_indiv_scores>)->Name("BM_FetchIndivScores")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fetch<fetch_indiv_rankings>)->Name("BM_FetchIndivRankings")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fetch<fetch_team_rankings>)->Name("BM_FetchTeamRankings")->Unit(benchmark::kMillisecond);

void prepare_contests() {
  char pattern[] = "/tmp/tallywell-bench-XXXXXX";
  if (!mkdtemp(pattern)) std::abort();
  folder = pattern;
  fresh_contest = folder / "fresh.db";
  scored_contest = folder / "scored.db";
  work_file = folder / "contest.db";
  const auto start = Clock::now();
  write_contest(fresh_contest.string());
  std::printf("Contest written in %.2f s: %s\n", seconds_since(start), fresh_contest.c_str());
  open_copy(fresh_contest);
  rescore_placings();
  exec("PRAGMA wal_checkpoint(TRUNCATE)");
  close_database();
  fs::copy_file(work_file, scored_contest);
}
}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  prepare_contests();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const auto pass = mean_seconds.find("first pass");
  const auto bare = mean_seconds.find("bare update loop");
  if (pass != mean_seconds.end() && bare != mean_seconds.end())
    std::printf("First pass / bare UPDATE loop: %.2f (target: at most 2)\n", pass->second / bare->second);
  fs::remove_all(folder);
  return 0;
}
