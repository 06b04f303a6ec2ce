#include "dispatch/worker.h"

#include <deque>
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

void run_and_route(const CommandItem& item) {
  const std::string result = run_payload(item.payload);
  // A failure while routing (memory, a layer fault) must not end the worker.
  try {
    route_result(item, result);
  } catch (...) {
  }
}

// The page clears a form as soon as its entry passes the page's checks, and tells the user
// that everything entered is saved: its saves and deletes still run when the program is told
// to stop. Fetches, the open dialog and card requests are left unrun; a card's phone was
// never told its submission was stored.
bool runs_at_stop(const CommandItem& item) {
  if (item.from_http) return false;
  const std::string name = split_first_colon(item.payload).first;
  return name.rfind("save_", 0) == 0 || name.rfind("delete_", 0) == 0 || name == "call_save_contestant";
}

// Takes those out of the queue, in their order; everything else stays queued, never to run.
// Called with the queue's mutex held.
std::deque<CommandItem> take_commands_that_run_at_stop() {
  std::deque<CommandItem> taken, left;
  for (CommandItem& item : command_queue) {
    if (runs_at_stop(item)) taken.push_back(std::move(item));
    else left.push_back(std::move(item));
  }
  command_queue.swap(left);
  return taken;
}
}  // namespace

void command_worker_func() {
  std::deque<CommandItem> at_stop;
  for (;;) {
    CommandItem item;
    {
      std::unique_lock<std::mutex> lock(command_queue_mutex);
      command_queue_cv.wait(lock, [] { return !command_queue.empty() || stop_requested; });
      if (stop_requested) {
        // What was queued by now is all that will run: the stop stays bounded by it.
        at_stop = take_commands_that_run_at_stop();
        break;
      }
      item = std::move(command_queue.front());
      command_queue.pop_front();
    }
    run_and_route(item);
  }
  for (const CommandItem& item : at_stop) run_and_route(item);
}
