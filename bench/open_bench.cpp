// Opening a contest at the schema's limits (about 80,000 placings), as the page's Open does
// once the file is chosen. The file is written once into a temporary folder; run with
// --benchmark_filter to pick a case.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "bench/contest_generator.h"
#include "store/database.h"
#include "store/desktop_hooks.h"
#include "store/operations.h"

namespace {
std::string contest_file;

std::string chosen_file() { return contest_file; }

void make_contest_once() {
  if (!contest_file.empty()) return;
  std::string folder = (std::filesystem::temp_directory_path() / "tallywell-open-bench-XXXXXX").string();
  mkdtemp(folder.data());
  contest_file = folder + "/contest.db";
  write_contest(contest_file);
  choose_contest_file = chosen_file;
}

void open_large_contest(benchmark::State& state) {
  make_contest_once();
  for (auto _ : state) {
    if (open_contest("") != "Benchmark") state.SkipWithError("the contest did not open");
    close_database();
  }
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(contest_file));
}

// The whole file's pages checked on a connection of its own: what the open spends on that.
void quick_check_large_contest(benchmark::State& state) {
  make_contest_once();
  Connection connection(contest_file, SQLITE_OPEN_READWRITE);
  for (auto _ : state) {
    Statement check = prepare_statement(connection.db, "PRAGMA quick_check(1);");
    if (!check.next_row() || column_text(check, 0) != "ok") state.SkipWithError("the check failed");
  }
}
}  // namespace

BENCHMARK(open_large_contest)->Unit(benchmark::kMillisecond);
BENCHMARK(quick_check_large_contest)->Unit(benchmark::kMillisecond);
