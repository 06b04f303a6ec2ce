// Record operations on a large contest: the main page refreshes these lists after every save.
// The contest is made in a temporary HOME; run with --benchmark_filter to pick a case.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "shell/contest_dialog.h"
#include "store/database.h"
#include "store/fields.h"

namespace {
const std::string SEP(1, FIELD_SEPARATOR);

std::string call(const std::string& name, const std::string& args = std::string()) {
  return run_payload(name + ":" + args);
}

// A contest of 9 divisions x `teams` teams x 9 contestants, 12 classes, and a placing with a
// reasons score for every contestant in every class.
void make_contest(int teams) {
  static std::string home;
  if (!home.empty()) std::filesystem::remove_all(home);
  home = (std::filesystem::temp_directory_path() / "tallywell-bench-XXXXXX").string();
  mkdtemp(home.data());
  setenv("HOME", home.c_str(), 1);
  close_database();
  if (function_table.empty()) initialize_functions();
  install_desktop_hooks();
  call("create_contest", "Bench");
  TransactionGuard transaction(TransactionGuard::Deferred);
  call("save_class_type", "none" + SEP + "Cattle");
  for (int c = 1; c <= 12; ++c) call("save_class", "none" + SEP + "1" + SEP + "C" + std::to_string(c) + SEP + "1234" + SEP + "123");
  for (int d = 1; d <= 9; ++d) {
    call("save_division", "none" + SEP + "D" + std::to_string(d) + SEP + "4");
    for (int t = 1; t <= teams; ++t) {
      const int team_no = d * 1000 + t * 10;
      call("save_team", "none" + SEP + std::to_string(d * 1000) + SEP + "Team" + SEP + "T" + std::to_string(t));
      for (int k = 1; k <= 9; ++k) {
        const std::string number = std::to_string(team_no + k);
        call("call_save_contestant", "none" + SEP + std::to_string(team_no) + SEP + "P" + number);
        for (int c = 1; c <= 12; ++c)
          call("save_placing", "none" + SEP + std::to_string(c) + SEP + number + SEP + "2134" + SEP + "40");
      }
    }
  }
  transaction.commit();
}

void fetch(benchmark::State& state, const char* name) {
  make_contest(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) bytes = call(name).size();
  state.counters["result_bytes"] = static_cast<double>(bytes);
}

void save_placing_update(benchmark::State& state) {
  make_contest(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(call("save_placing", "1" + SEP + "1" + SEP + "1011" + SEP + "4321" + SEP + "35"));
}

void save_placing_reasons_only(benchmark::State& state) {
  make_contest(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(call("save_placing", "none" + SEP + "12" + SEP + "1011" + SEP + SEP + "35"));
}

void save_and_delete_placing(benchmark::State& state) {
  make_contest(static_cast<int>(state.range(0)));
  call("delete_placing", "1");
  for (auto _ : state) {
    call("save_placing", "none" + SEP + "1" + SEP + "1011" + SEP + "2134");
    call("delete_placing", std::to_string(sqlite3_last_insert_rowid(contest_db)));
  }
}
}  // namespace

// 9 x 20 x 9 = 1,620 contestants and 19,440 placings; 9 x 99 x 9 = 8,019 and 96,228 (the most).
#define SIZES Arg(20)->Arg(99)->Unit(benchmark::kMillisecond)
BENCHMARK_CAPTURE(fetch, fetch_placings, "fetch_placings")->SIZES;
BENCHMARK_CAPTURE(fetch, fetch_placing_counts, "fetch_placing_counts")->SIZES;
BENCHMARK_CAPTURE(fetch, fetch_contestants, "fetch_contestants")->SIZES;
BENCHMARK_CAPTURE(fetch, fetch_contestant_counts, "fetch_contestant_counts")->SIZES;
BENCHMARK_CAPTURE(fetch, fetch_teams, "fetch_teams")->SIZES;
BENCHMARK(save_placing_update)->SIZES;
BENCHMARK(save_placing_reasons_only)->SIZES;
BENCHMARK(save_and_delete_placing)->SIZES;
