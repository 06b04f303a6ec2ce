#include "tests/cards/card_server_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "cards/card_api.h"
#include "cards/http_server.h"
#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "store/database.h"
#include "store/fields.h"
#include "store/schema.h"

namespace {
std::thread worker_thread;
std::thread server_thread;
std::filesystem::path contest_folder;
std::promise<void> hold_release;
std::promise<void> hold_started;

bool discard_reply(std::string* reply) {
  delete reply;
  return true;
}

bool answers_health(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(0, 200000);
  const auto result = client.Get("/health");
  return result && result->status == 200;
}
}  // namespace

void start_worker() {
  stop_requested = false;
  initialize_functions();
  register_function("test_hold", [](const std::string&) {
    hold_started.set_value();
    hold_release.get_future().wait();
    return std::string();
  });
  post_command_result = discard_reply;
  worker_thread = std::thread(command_worker_func);
}

void stop_worker() {
  request_stop();
  if (worker_thread.joinable()) worker_thread.join();
  std::lock_guard<std::mutex> lock(command_queue_mutex);
  command_queue.clear();
}

int start_card_server() {
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int port = free_loopback_port();
    server_thread = std::thread([port] { run_http_server("127.0.0.1", port); });
    for (int wait = 0; wait < 100; ++wait) {
      if (answers_health(port)) return port;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Another process took the port first: the run has returned, or will on this stop.
    stop_http_server();
    server_thread.join();
  }
  ADD_FAILURE() << "the card server did not start";
  return 0;
}

void stop_card_server() {
  stop_http_server();
  if (server_thread.joinable()) server_thread.join();
}

void hold_worker() {
  hold_release = std::promise<void>();
  hold_started = std::promise<void>();
  auto started = hold_started.get_future();
  push_command(CommandItem{"hold", "test_hold:", false});
  started.wait();
}

void release_worker() { hold_release.set_value(); }

void open_test_contest() {
  char pattern[] = "/tmp/card_server_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  contest_folder = pattern;
  ASSERT_TRUE(open_database((contest_folder / "contest.db").string()));
  const std::string rows =
      "INSERT INTO contest (name, scored_at) VALUES ('Fair', '2020-01-01 00:00:00');"
      "INSERT INTO divisions (name) VALUES ('Junior');"
      "INSERT INTO teams (division_no, type, name) VALUES (1000, 'Group', 'North');"
      "INSERT INTO contestants (team_no, name) VALUES (1010, 'Ann'), (1010, 'Ben');"
      "INSERT INTO class_types (name) VALUES ('Dairy');"
      "INSERT INTO classes (id, type_id, name, timestamp) VALUES (3, 1, 'Cows', '2024-01-01 00:00:00'),"
      " (4, 1, 'Sheep', '2024-01-01 00:00:00');";
  ASSERT_EQ(sqlite3_exec(contest_db, (schema_sql + rows).c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
}

void close_test_contest() {
  close_database();
  if (!contest_folder.empty()) std::filesystem::remove_all(contest_folder);
  contest_folder.clear();
}

std::string query_contest(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(contest_db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  std::string value;
  if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
    value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  sqlite3_finalize(stmt);
  return value;
}

std::size_t pending_count() {
  std::lock_guard<std::mutex> lock(pending_mutex);
  return pending_requests.size();
}
