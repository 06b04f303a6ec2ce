// Runs the real function table and worker behind the page-host protocol on standard
// input and output, for browser and black-box tests. Requests (id:name:args) and replies
// (id:result) are UTF-8 texts, each ended by one NUL byte. HOME decides the Desktop
// folder; TALLYWELL_OPEN_PATH is the file the open-contest dialog answers (unset or empty:
// the user cancelled). TALLYWELL_CARD_PORT, when set, starts the card server on
// 127.0.0.1 at that port, served through the same worker.
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "cards/http_server.h"
#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "shell/contest_dialog.h"
#include "shell/message_bridge.h"
#include "shell/text_conversion.h"
#include "store/database.h"

namespace {
std::mutex output_mutex;
std::condition_variable replies_cv;
long long requests_read = 0;
long long replies_written = 0;

bool write_reply(std::string* reply) {
  {
    std::lock_guard<std::mutex> lock(output_mutex);
    std::fwrite(reply->data(), 1, reply->size(), stdout);
    std::fputc('\0', stdout);
    std::fflush(stdout);
    ++replies_written;
  }
  replies_cv.notify_all();
  delete reply;  // the receiver owns the text, as the window does
  return true;
}

std::string dialog_stand_in() {
  const char* path = std::getenv("TALLYWELL_OPEN_PATH");
  return path ? std::string(path) : std::string();
}

int card_server_port() {
  const char* port = std::getenv("TALLYWELL_CARD_PORT");
  return port && *port ? std::atoi(port) : 0;
}
}  // namespace

int main() {
  contest_dialog_layer = dialog_stand_in;
  post_command_result = write_reply;
  initialize_functions();
  std::thread worker_thread(command_worker_func);
  const int card_port = card_server_port();
  std::thread server_thread;
  if (card_port > 0) server_thread = std::thread([card_port] { run_http_server("127.0.0.1", card_port); });

  std::string message;
  while (std::getline(std::cin, message, '\0')) {
    {
      std::lock_guard<std::mutex> lock(output_mutex);
      ++requests_read;
    }
    on_web_message_received(utf8_to_utf16(message));
  }

  // End of input: let every request read so far be answered, then stop in the system's order.
  {
    std::unique_lock<std::mutex> lock(output_mutex);
    replies_cv.wait(lock, [] { return replies_written >= requests_read; });
  }
  stop_http_server();
  request_stop();
  if (server_thread.joinable()) server_thread.join();
  worker_thread.join();
  close_database();
  return 0;
}
