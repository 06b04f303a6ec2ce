#pragma once
// Runs the real worker with replies captured in memory instead of a window.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "dispatch/worker.h"

namespace worker_fixture {
inline std::mutex replies_mutex;
inline std::condition_variable replies_cv;
inline std::vector<std::string> replies;
inline bool window_gone = false;

inline bool capture_reply(std::string* reply) {
  std::lock_guard<std::mutex> lock(replies_mutex);
  if (window_gone) return false;
  replies.push_back(*reply);
  delete reply;
  replies_cv.notify_all();
  return true;
}
}  // namespace worker_fixture

struct RunningWorker {
  std::thread thread;

  RunningWorker() {
    using namespace worker_fixture;
    {
      std::lock_guard<std::mutex> lock(replies_mutex);
      replies.clear();
      window_gone = false;
    }
    {
      std::lock_guard<std::mutex> lock(command_queue_mutex);
      command_queue.clear();
    }
    stop_requested = false;
    function_table.clear();
    initialize_functions();
    post_command_result = capture_reply;
    thread = std::thread(command_worker_func);
  }
  ~RunningWorker() { stop(); }

  void stop() {
    if (!thread.joinable()) return;
    request_stop();
    thread.join();
  }

  // Waits (bounded) until n replies have arrived and returns them.
  std::vector<std::string> wait_for(std::size_t n) {
    using namespace worker_fixture;
    std::unique_lock<std::mutex> lock(replies_mutex);
    replies_cv.wait_for(lock, std::chrono::seconds(10), [n] { return replies.size() >= n; });
    return replies;
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
