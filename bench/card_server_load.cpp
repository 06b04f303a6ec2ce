// Load on the real card server over loopback: a contest of 2,000 contestants and 10
// classes, the worker and the server running in this process, HTTP clients on threads.
//
//   CardSubmissions/N: N clients, each on its own kept-alive connection, submit a placing
//     for every contestant and class pair (20,000 saves, each pair once); the same clients
//     then send as many GET /health, the server's ceiling. Reports both rates, their ratio,
//     latencies, 408 answers and whether every save is stored exactly once.
//   KeptAlivePhones: 300 clients send one submission each at the same moment and keep their
//     connections open afterwards, as phone browsers do.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/contest_generator.h"
#include "cards/http_server.h"
#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "shell/contest_dialog.h"
#include "store/operations.h"
#include "store/database.h"
#include "store/fields.h"
#include "tests/support/loopback_port.h"

namespace {
using Clock = std::chrono::steady_clock;

constexpr int CLASSES = 10;

std::string contest_path;

struct LoadSetup;
LoadSetup* make_setup_instance();

struct LoadSetup {
  std::filesystem::path folder;
  int port = 0;
  std::thread worker;
  std::thread server;
  std::vector<std::pair<int, int>> pairs;  // contestant number, class id
};

void exec_sql(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(contest_db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::fprintf(stderr, "SQL failed: %s\n", message ? message : "?");
    std::exit(1);
  }
}

long long count_sql(const std::string& sql) {
  Statement count = prepare_statement(contest_db, sql.c_str());
  return count.next_row() ? column_int64(count, 0) : -1;
}


bool discard_reply(std::string* reply) {
  delete reply;
  return true;
}

LoadSetup* make_setup() {
  auto* setup = new LoadSetup;
  char pattern[] = "/tmp/card_load_XXXXXX";
  if (!mkdtemp(pattern)) std::exit(1);
  setup->folder = pattern;
  // 5 divisions of 50 teams of 8: 2,000 contestants. The cards submit every placing, so
  // the generated ones are removed.
  ContestShape shape;
  shape.divisions = 5;
  shape.teams_per_division = 50;
  shape.contestants_per_team = 8;
  shape.classes = CLASSES;
  contest_path = (setup->folder / "contest.db").string();
  write_contest(contest_path, shape);
  // Opened as the official opens it, with the connection settings that brings.
  install_desktop_hooks();
  contest_dialog_layer = [] { return contest_path; };
  if (open_contest("") != "Benchmark") std::exit(1);
  exec_sql("DELETE FROM placings;");
  {
    Statement numbers = prepare_statement("SELECT number FROM contestants ORDER BY number");
    while (numbers.next_row())
      for (int c = 1; c <= CLASSES; ++c) setup->pairs.emplace_back(column_int(numbers, 0), c);
  }

  initialize_functions();
  post_command_result = discard_reply;
  setup->worker = std::thread(command_worker_func);
  setup->port = free_loopback_port();
  setup->server = std::thread([port = setup->port] { run_http_server("127.0.0.1", port); });
  for (int wait = 0; wait < 200; ++wait) {
    httplib::Client probe("127.0.0.1", setup->port);
    if (auto answer = probe.Get("/health"); answer && answer->status == 200) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::atexit([] {
    LoadSetup& s = *make_setup_instance();  // already made: this handler is registered by it
    stop_http_server();
    request_stop();
    s.server.join();
    s.worker.join();
    close_database();
    std::filesystem::remove_all(s.folder);
  });
  return setup;
}

LoadSetup* make_setup_instance() {
  static LoadSetup* setup = make_setup();
  return setup;
}

httplib::Client phone_client(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);  // as browsers do
  client.set_connection_timeout(60, 0);
  client.set_read_timeout(300, 0);
  return client;
}

std::string placing_body(const std::pair<int, int>& pair, int index) {
  static const char* const orders[] = {"1234", "2134", "4321", "3142", "2413", "1324"};
  std::string body = std::to_string(pair.first);
  body += FIELD_SEPARATOR;
  body += std::to_string(pair.second);
  body += FIELD_SEPARATOR;
  body += orders[index % 6];
  return body;
}

struct Tally {
  std::vector<double> latencies_ms;
  long stored = 0, timeouts = 0, failed = 0;
};

double percentile(std::vector<double>& values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())))];
}

// N clients share out `count` requests; each request is made by send(client, index).
template <typename Send>
Tally run_clients(int clients, std::size_t count, Send send) {
  std::atomic<std::size_t> next{0};
  std::vector<Tally> tallies(static_cast<std::size_t>(clients));
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      httplib::Client client = phone_client(make_setup_instance()->port);
      Tally& tally = tallies[static_cast<std::size_t>(c)];
      for (std::size_t i; (i = next++) < count;) {
        const auto start = Clock::now();
        const httplib::Result answer = send(client, i);
        tally.latencies_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (!answer) ++tally.failed;
        else if (answer->status == 408) ++tally.timeouts;
        else if (answer->status == 200 && answer->body != "false") ++tally.stored;
        else ++tally.failed;
      }
    });
  }
  for (auto& t : threads) t.join();
  Tally total;
  for (Tally& t : tallies) {
    total.latencies_ms.insert(total.latencies_ms.end(), t.latencies_ms.begin(), t.latencies_ms.end());
    total.stored += t.stored;
    total.timeouts += t.timeouts;
    total.failed += t.failed;
  }
  return total;
}

void CardSubmissions(benchmark::State& state) {
  LoadSetup& setup = *make_setup_instance();
  const int clients = static_cast<int>(state.range(0));
  exec_sql("DELETE FROM placings;");
  for (auto _ : state) {
    const auto health_start = Clock::now();
    Tally health = run_clients(clients, setup.pairs.size(),
                               [](httplib::Client& client, std::size_t) { return client.Get("/health"); });
    const double health_seconds = std::chrono::duration<double>(Clock::now() - health_start).count();

    const auto start = Clock::now();
    Tally saves = run_clients(clients, setup.pairs.size(), [&](httplib::Client& client, std::size_t i) {
      return client.Post("/api/save_card_placing", placing_body(setup.pairs[i], static_cast<int>(i)), "text/plain");
    });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);

    const long long rows = count_sql("SELECT COUNT(*) FROM placings");
    const long long distinct = count_sql("SELECT COUNT(DISTINCT class_id * 100000 + contestant_no) FROM placings");
    const double rate = static_cast<double>(setup.pairs.size()) / seconds;
    const double health_rate = static_cast<double>(setup.pairs.size()) / health_seconds;
    state.counters["saves_per_s"] = rate;
    state.counters["health_per_s"] = health_rate;
    state.counters["ratio"] = rate / health_rate;
    state.counters["p50_ms"] = percentile(saves.latencies_ms, 0.50);
    state.counters["p99_ms"] = percentile(saves.latencies_ms, 0.99);
    state.counters["max_ms"] = percentile(saves.latencies_ms, 1.0);
    state.counters["health_p99_ms"] = percentile(health.latencies_ms, 0.99);
    state.counters["answers_408"] = static_cast<double>(saves.timeouts);
    state.counters["failed"] = static_cast<double>(saves.failed + health.failed);
    state.counters["each_stored_once"] =
        rows == static_cast<long long>(setup.pairs.size()) && distinct == rows && saves.stored == rows ? 1 : 0;
  }
  exec_sql("DELETE FROM placings;");
}
BENCHMARK(CardSubmissions)->Arg(64)->Arg(256)->Arg(512)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void KeptAlivePhones(benchmark::State& state) {
  LoadSetup& setup = *make_setup_instance();
  constexpr int phones = 300;
  exec_sql("DELETE FROM placings;");
  for (auto _ : state) {
    std::mutex mutex;
    std::condition_variable changed;
    int ready = 0;
    bool go = false, all_answered = false;
    int answered = 0;
    std::vector<double> latencies(phones);
    std::vector<int> statuses(phones);
    std::vector<std::string> bodies(phones);
    std::vector<std::thread> threads;
    for (int p = 0; p < phones; ++p) {
      threads.emplace_back([&, p] {
        httplib::Client client = phone_client(setup.port);
        {
          std::unique_lock<std::mutex> lock(mutex);
          ++ready;
          changed.notify_all();
          changed.wait(lock, [&] { return go; });
        }
        const auto start = Clock::now();
        const auto answer = client.Post("/api/save_card_placing",
                                        placing_body(setup.pairs[static_cast<std::size_t>(p) * 7], p), "text/plain");
        latencies[p] = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        statuses[p] = answer ? answer->status : 0;
        bodies[p] = answer ? answer->body : std::string();
        // The connection stays open until every phone has its answer, as a browser keeps it.
        std::unique_lock<std::mutex> lock(mutex);
        ++answered;
        changed.notify_all();
        changed.wait(lock, [&] { return all_answered; });
      });
    }
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return ready == phones; });
      go = true;
    }
    const auto start = Clock::now();
    changed.notify_all();
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return answered == phones; });
      all_answered = true;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    changed.notify_all();
    for (auto& t : threads) t.join();

    int within_two_seconds = 0, timeouts = 0, lost = 0;
    for (int p = 0; p < phones; ++p) {
      if (latencies[p] <= 2000) ++within_two_seconds;
      if (statuses[p] == 408) ++timeouts;
      if (statuses[p] != 200 || bodies[p] != "true") ++lost;
    }
    state.counters["within_2s"] = within_two_seconds;
    state.counters["answers_408"] = timeouts;
    state.counters["lost"] = lost;
    state.counters["stored"] = static_cast<double>(count_sql("SELECT COUNT(*) FROM placings"));
    state.counters["p50_ms"] = percentile(latencies, 0.50);
    state.counters["max_ms"] = percentile(latencies, 1.0);
  }
  exec_sql("DELETE FROM placings;");
}
BENCHMARK(KeptAlivePhones)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}  // namespace
