#pragma once
// Shared set-up for store tests: a temporary HOME (so the Desktop is never the real one),
// a fresh contest, and ways to run payloads through the real function table and worker.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "shell/contest_dialog.h"
#include "support/join_fields.h"
#include "support/temp_home.h"
#include "store/database.h"
#include "store/failures.h"
#include "store/fields.h"
#include "store/patterns.h"

namespace store_fixture {

// (operation name, argument text) pairs.
using Commands = std::vector<std::pair<std::string, std::string>>;

// One payload (name:args) through the function table, as the worker runs it.
inline std::string call(const std::string& name, const std::string& args = std::string()) {
  if (function_table.empty()) initialize_functions();
  return run_payload(name + ":" + args);
}

// Replies the worker posts, collected in arrival order.
inline std::mutex replies_mutex;
inline std::condition_variable replies_cv;
inline std::vector<std::string> replies;

inline bool collect_reply(std::string* reply) {
  {
    std::lock_guard<std::mutex> lock(replies_mutex);
    replies.push_back(*reply);
  }
  replies_cv.notify_all();
  delete reply;
  return true;
}

// Runs (name, args) commands on a real worker thread through the queue and answers the
// results in order, stripped of their ids. The worker is stopped and joined before return.
inline std::vector<std::string> run_on_worker(const Commands& commands) {
  if (function_table.empty()) initialize_functions();
  {
    std::lock_guard<std::mutex> lock(replies_mutex);
    replies.clear();
  }
  post_command_result = collect_reply;
  stop_requested = false;
  std::thread worker(command_worker_func);
  for (std::size_t i = 0; i < commands.size(); ++i)
    push_command(CommandItem{std::to_string(i), commands[i].first + ":" + commands[i].second, false});
  std::vector<std::string> results;
  {
    std::unique_lock<std::mutex> lock(replies_mutex);
    const bool all_answered = replies_cv.wait_for(lock, std::chrono::seconds(30),
                                                  [&] { return replies.size() >= commands.size(); });
    EXPECT_TRUE(all_answered) << replies.size() << " of " << commands.size() << " commands answered";
    for (std::size_t i = 0; i < replies.size(); ++i) {
      const std::string prefix = std::to_string(i) + ":";
      EXPECT_EQ(replies[i].rfind(prefix, 0), 0u) << "reply out of order: " << replies[i];
      results.push_back(replies[i].substr(prefix.size()));
    }
  }
  request_stop();
  worker.join();
  stop_requested = false;
  post_command_result = nullptr;
  return results;
}

// Rows of any query, flattened like a fetch: for looking at columns no fetch returns.
inline std::string query(const std::string& sql) { return run_fetch(sql.c_str()); }

// Runs SQL directly on the contest, for setting up states no operation makes.
inline void execute(const char* sql) {
  ASSERT_EQ(sqlite3_exec(contest_db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
}

// 1 for each row whose stamp is the local time now (within a few seconds), else 0.
inline const std::string STAMPED_NOW =
    "ABS(strftime('%s', timestamp) - strftime('%s', 'now', 'localtime')) <= 5";

// Every row of every table, time stamps included: equal before and after means unchanged.
inline std::string database_snapshot() {
  std::string all;
  for (const char* table : {"contest", "divisions", "teams", "contestants", "class_types", "classes", "placings"})
    all += std::string(table) + ":" + query(std::string("SELECT * FROM ") + table + " ORDER BY id;") + "\n";
  return all;
}

// Each test gets a new contest in its own temporary Desktop.
class StoreTest : public ::testing::Test {
 protected:
  TempHome home;

  void SetUp() override {
    close_database();
    install_desktop_hooks();
    ASSERT_EQ(call("create_contest", "Test Contest"), "");
  }
  void TearDown() override { close_database(); }

  // Saves that every test expects to succeed.
  static void expect_ok(const std::string& name, std::initializer_list<std::string> fields) {
    ASSERT_EQ(call(name, join_fields(fields)), "") << name << " " << join_fields(fields);
  }

  // Each command answers `expected` and leaves the whole database as it was.
  static void expect_refused(const Commands& commands, const std::string& expected = CONSISTENCY_ERROR) {
    for (const auto& [name, args] : commands) {
      const std::string before = database_snapshot();
      EXPECT_EQ(call(name, args), expected) << name << " " << args;
      EXPECT_EQ(database_snapshot(), before) << name << " " << args;
    }
  }
};

}  // namespace store_fixture
