// Runs the real function table and worker behind the page-host protocol on standard
// input and output, for browser and black-box tests. Requests (id:name:args) and replies
// (id:result) are UTF-8 texts, each ended by one NUL byte. HOME decides the Desktop
// folder; TALLYWELL_OPEN_PATH is the file the open-contest dialog answers (unset or empty:
// the user cancelled). TALLYWELL_CARD_PORT, when set, starts the card server on
// 127.0.0.1 at that port, served through the same worker. SIGTERM, SIGINT and SIGHUP shut
// it down in the program's own order, as the end of input does once every request read has
// been answered.
#include <signal.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "cards/http_server.h"
#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "shell/contest_dialog.h"
#include "shell/lifecycle.h"
#include "shell/message_bridge.h"
#include "shell/shell_globals.h"
#include "shell/text_conversion.h"

namespace {
std::mutex output_mutex;
std::condition_variable replies_cv;
long long requests_read = 0;
long long replies_written = 0;

int card_port = 0;

void harness_card_server() { run_http_server("127.0.0.1", card_port); }

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

// The program's shut-down; the process then ends without the exit's destructors (the main
// thread may be reading standard input, and a card server's thread may be left running).
[[noreturn]] void shut_down() {
  static std::mutex once;
  once.lock();  // never unlocked: a second caller waits here until the first one exits
  stop_services();
  std::fflush(stdout);  // not every stream: the main thread may be reading standard input
  std::_Exit(0);
}
}  // namespace

int main() {
  contest_dialog_layer = dialog_stand_in;
  install_desktop_hooks();
  post_command_result = write_reply;
  initialize_functions();
  // Blocked in every thread, the ones started below included; one thread waits for them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stop_signals, signal);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  std::thread([stop_signals] {
    int signal = 0;
    sigwait(&stop_signals, &signal);
    shut_down();
  }).detach();

  card_port = card_server_port();
  card_server_body = card_port > 0 ? harness_card_server : nullptr;
  if (const std::string failure = start_services(); !failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return 1;
  }

  std::string message;
  while (std::getline(std::cin, message, '\0')) {
    {
      std::lock_guard<std::mutex> lock(output_mutex);
      ++requests_read;
    }
    on_web_message_received(utf8_to_utf16(message));
  }

  // End of input: let every request read so far be answered, then stop.
  {
    std::unique_lock<std::mutex> lock(output_mutex);
    replies_cv.wait(lock, [] { return replies_written >= requests_read; });
  }
  shut_down();
}
