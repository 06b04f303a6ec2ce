#pragma once
// The operations as the worker runs them: one payload at a time on the test's own thread,
// or the real worker on a thread of its own, its replies captured in memory instead of
// being handed to a window.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "dispatch/worker.h"

// One payload (name:args) through the function table, as the worker runs it.
inline std::string call(const std::string& name, const std::string& args = std::string()) {
  if (function_table.empty()) initialize_functions();
  return run_payload(name + ":" + args);
}

namespace worker_replies {
inline std::mutex mutex;
inline std::condition_variable arrived;
inline std::vector<std::string> texts;
inline bool window_gone = false;

// The hand-off the worker calls for each page reply; false once the window is gone.
inline bool capture(std::string* reply) {
  std::lock_guard<std::mutex> lock(mutex);
  if (window_gone) return false;
  texts.push_back(*reply);
  delete reply;
  arrived.notify_all();
  return true;
}
}  // namespace worker_replies

// Starts from an empty queue, no replies, a clear stop flag and the real function table.
struct RunningWorker {
  std::thread thread;

  RunningWorker() {
    using namespace worker_replies;
    {
      std::lock_guard<std::mutex> lock(mutex);
      texts.clear();
      window_gone = false;
    }
    {
      std::lock_guard<std::mutex> lock(command_queue_mutex);
      command_queue.clear();
    }
    stop_requested = false;
    function_table.clear();
    initialize_functions();
    post_command_result = capture;
    thread = std::thread(command_worker_func);
  }
  ~RunningWorker() { stop(); }
  RunningWorker(const RunningWorker&) = delete;
  RunningWorker& operator=(const RunningWorker&) = delete;

  void stop() {
    if (!thread.joinable()) return;
    request_stop();
    thread.join();
  }

  // From now on every reply is refused, as when the window has closed.
  void close_window() {
    std::lock_guard<std::mutex> lock(worker_replies::mutex);
    worker_replies::window_gone = true;
  }

  // Waits (bounded) until n replies have arrived and returns them all, ids included.
  std::vector<std::string> wait_for(std::size_t n) {
    using namespace worker_replies;
    std::unique_lock<std::mutex> lock(mutex);
    arrived.wait_for(lock, std::chrono::seconds(30), [n] { return texts.size() >= n; });
    return texts;
  }

  // Pushes one page message and answers its result text (without the id).
  std::string call(const std::string& payload) {
    const std::size_t before = wait_for(0).size();
    push_command(CommandItem{"t", payload, false});
    const auto all = wait_for(before + 1);
    if (all.size() <= before) return "<no reply>";
    return all[before].substr(2);
  }
};

// (operation name, argument text) pairs.
using Commands = std::vector<std::pair<std::string, std::string>>;

// Runs the commands through the queue on a real worker and answers the results in order,
// stripped of their ids. The worker is stopped and joined before return.
inline std::vector<std::string> run_on_worker(const Commands& commands) {
  RunningWorker worker;
  for (std::size_t i = 0; i < commands.size(); ++i)
    push_command(CommandItem{std::to_string(i), commands[i].first + ":" + commands[i].second, false});
  const std::vector<std::string> replies = worker.wait_for(commands.size());
  EXPECT_GE(replies.size(), commands.size()) << replies.size() << " of " << commands.size() << " commands answered";
  std::vector<std::string> results;
  for (std::size_t i = 0; i < replies.size(); ++i) {
    const std::string prefix = std::to_string(i) + ":";
    EXPECT_EQ(replies[i].rfind(prefix, 0), 0u) << "reply out of order: " << replies[i];
    results.push_back(replies[i].substr(prefix.size()));
  }
  return results;
}
