#include "dispatch/command_queue.h"

std::deque<CommandItem> command_queue;
std::mutex command_queue_mutex;
std::condition_variable command_queue_cv;
std::atomic<bool> stop_requested{false};

void push_command(CommandItem item) {
  {
    std::lock_guard<std::mutex> lock(command_queue_mutex);
    command_queue.push_back(std::move(item));
  }
  command_queue_cv.notify_one();
}

void push_card_command(std::string id, std::string payload) {
  push_command(CommandItem{std::move(id), std::move(payload), true});
}

void request_stop() {
  {
    std::lock_guard<std::mutex> lock(command_queue_mutex);
    stop_requested = true;
  }
  command_queue_cv.notify_all();
}

std::pair<std::string, std::string> split_first_colon(const std::string& text) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return {text, std::string()};
  return {text.substr(0, colon), text.substr(colon + 1)};
}
