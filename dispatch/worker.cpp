#include "dispatch/worker.h"

#include <memory>

#include "cards/card_api.h"
#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "store/failures.h"

bool (*post_command_result)(std::string* reply) = nullptr;

std::string run_payload(const std::string& payload) {
  try {
    const auto [name, args] = split_first_colon(payload);
    const auto entry = function_table.find(name);
    if (entry == function_table.end()) return "ERROR:Unknown function.";
    return entry->second(args);
  } catch (...) {
    return failure_result(std::current_exception());
  }
}

namespace {
void route_result(const CommandItem& item, const std::string& result) {
  if (item.from_http) {
    complete_pending_request(item.id, result);
    return;
  }
  auto reply = std::make_unique<std::string>(item.id + ":" + result);
  if (post_command_result && post_command_result(reply.get())) reply.release();
  // Otherwise the window is gone: the reply is dropped and freed here.
}
}  // namespace

void command_worker_func() {
  while (!stop_requested) {
    CommandItem item;
    {
      std::unique_lock<std::mutex> lock(command_queue_mutex);
      command_queue_cv.wait(lock, [] { return !command_queue.empty() || stop_requested; });
      if (stop_requested) return;
      item = std::move(command_queue.front());
      command_queue.pop_front();
    }
    const std::string result = run_payload(item.payload);
    // A failure while routing (memory, a layer fault) must not end the worker.
    try {
      route_result(item, result);
    } catch (...) {
    }
  }
}
