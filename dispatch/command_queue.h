#pragma once
// The one queue that feeds the worker, shared by the page intake and the card handlers.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <utility>

struct CommandItem {
  std::string id;       // echoed unchanged in the reply; never holds a colon
  std::string payload;  // operation name, ':', argument text (UTF-8)
  bool from_http = false;
};

extern std::deque<CommandItem> command_queue;
extern std::mutex command_queue_mutex;
extern std::condition_variable command_queue_cv;
extern std::atomic<bool> stop_requested;

// Appends under the queue mutex, then wakes the worker after unlocking.
void push_command(CommandItem item);

// Queues a card request's command: its answer goes to the waiting card handler.
void push_card_command(std::string id, std::string payload);

// Sets the stop flag while holding the queue mutex, then wakes every waiter, so a
// worker that has just found the queue empty is already waiting when the wake comes.
void request_stop();

// Splits at the first colon: (before, after). Without a colon: (text, "").
std::pair<std::string, std::string> split_first_colon(const std::string& text);
