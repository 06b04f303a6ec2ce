#pragma once
// The worker and the card server running inside the test process, on a free loopback
// port, and on request a small contest: contestants 1011 "Ann" and 1012 "Ben", classes 3
// "Cows" and 4 "Sheep".
#include <gtest/gtest.h>
#include <httplib.h>

#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "cards/card_api.h"
#include "cards/http_server.h"
#include "tests/support/contest_fixture.h"
#include "tests/support/loopback_port.h"

namespace card_server_fixture {
inline std::unique_ptr<RunningWorker> worker;
inline std::thread server_thread;
inline std::unique_ptr<TempHome> contest_home;
inline std::promise<void> hold_release;
inline std::promise<void> hold_started;
}  // namespace card_server_fixture

// Starts the worker with the real function table plus "test_hold" (see hold_worker).
inline void start_worker() {
  card_server_fixture::worker = std::make_unique<RunningWorker>();
  register_function("test_hold", [](const std::string&) {
    card_server_fixture::hold_started.set_value();
    card_server_fixture::hold_release.get_future().wait();
    return std::string();
  });
}

// Stops the worker; items it left queued are dropped.
inline void stop_worker() {
  card_server_fixture::worker.reset();
  std::lock_guard<std::mutex> lock(command_queue_mutex);
  command_queue.clear();
}

// Starts run_http_server on 127.0.0.1 and waits until it answers; returns the port.
inline int start_card_server() {
  std::thread& server_thread = card_server_fixture::server_thread;
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int port = free_loopback_port();
    server_thread = std::thread([port] { run_http_server("127.0.0.1", port); });
    if (comes_up(port)) return port;
    // Another process took the port first: the run has returned, or will on this stop.
    stop_http_server();
    server_thread.join();
  }
  ADD_FAILURE() << "the card server did not start";
  return 0;
}

inline void stop_card_server() {
  stop_http_server();
  if (card_server_fixture::server_thread.joinable()) card_server_fixture::server_thread.join();
}

// Keeps the worker busy in an operation until release_worker, so card items queue.
inline void hold_worker() {
  card_server_fixture::hold_release = std::promise<void>();
  card_server_fixture::hold_started = std::promise<void>();
  auto started = card_server_fixture::hold_started.get_future();
  push_command(CommandItem{"hold", "test_hold:", false});
  started.wait();
}

inline void release_worker() { card_server_fixture::hold_release.set_value(); }

// Creates and opens the contest in a temporary home; close_test_contest removes it.
inline void open_test_contest() {
  card_server_fixture::contest_home = std::make_unique<TempHome>();
  ASSERT_EQ(create_test_contest(), "");
  execute(
      "INSERT INTO divisions (name) VALUES ('Junior');"
      "INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'North');"
      "INSERT INTO contestants (team_no, name) VALUES (1010, 'Ann'), (1010, 'Ben');"
      "INSERT INTO class_types (name) VALUES ('Dairy');"
      "INSERT INTO classes (id, type_id, name, timestamp) VALUES (3, 1, 'Cows', '2024-01-01 00:00:00'),"
      " (4, 1, 'Sheep', '2024-01-01 00:00:00');");
}

inline void close_test_contest() { card_server_fixture::contest_home.reset(); }

inline std::size_t pending_count() {
  std::lock_guard<std::mutex> lock(pending_mutex);
  return pending_requests.size();
}

// A suite sharing one worker and one card server, started before its first test and
// stopped after its last; each test starts from the real function table (undoing a
// test's stand-in operations).
class CardServerSuite : public ::testing::Test {
 protected:
  static inline int port = 0;

  static void SetUpTestSuite() {
    start_worker();
    port = start_card_server();
  }
  static void TearDownTestSuite() {
    stop_card_server();
    stop_worker();
  }
  void SetUp() override { initialize_functions(); }

  // A client of the suite's server that waits for any answer, a time-out's included.
  static httplib::Client client() {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(20, 0);
    return c;
  }
};
