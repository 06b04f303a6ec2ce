#include "shell/lifecycle.h"

// Threads, and what each may touch:
// - UI thread (the one that calls run_desktop_app and runs the toolkit's loop): the window and
//   the web view (main_window, webview), the page's messages in and the replies out, message
//   boxes, and the contest file dialog, which it shows on the worker's behalf. The window's
//   close and the stop signals (SIGTERM, SIGINT, SIGHUP) arrive here; shut-down runs here once
//   the loop has ended.
// - Worker thread (worker_thread, command_worker_func): the only thread that uses contest_db.
//   It runs the commands of command_queue one at a time.
// - Card server thread (server_thread, http_server_func): the listen loop. The server's pool
//   threads run the card routes and touch only pending_requests (under pending_mutex), the
//   command queue (through push_card_command) and the response they write; never contest_db,
//   the window or the view.
// Hand-offs between them; each has a lock of its own, and no two of those are held together:
// - page -> worker: on_web_message_received queues a CommandItem under command_queue_mutex and
//   wakes the worker through command_queue_cv.
// - worker -> UI: post_command_result hands each id:result text to the layer's post_reply,
//   which queues it for the loop; on_command_result then owns it. A reply for a window that is
//   gone stays the worker's, which frees it.
// - card route -> worker -> card route: the route files a PendingRequest, queues its command
//   and waits on its promise for up to CARD_REQUEST_TIMEOUT; the worker answers it through
//   complete_pending_request under pending_mutex, or finds it gone and drops the result.
// - worker -> UI -> worker: the open-contest dialog is shown by the loop and its answer comes
//   back through a future; a close of the window answers a dialog still open.
// - card server thread -> UI: a server that cannot listen says so through run_on_ui_thread.
// - UI -> the others at shut-down: request_stop sets stop_requested under the queue mutex,
//   stop_card_server ends the listen loop, whose thread is waited for at most
//   CARD_SERVER_STOP_WAIT; then the worker is joined, once it has run the page's saves and
//   deletes still queued (all its operations waiting for another program's lock at most
//   STOP_LOCK_WAIT in all, through limit_lock_waits), and only then is contest_db closed.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <system_error>

#include "cards/http_server.h"
#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "dispatch/worker.h"
#include "shell/contest_dialog.h"
#include "shell/message_bridge.h"
#include "shell/shell_globals.h"
#include "shell/web_view_host.h"
#include "store/database.h"

namespace {
const std::string APP_TITLE = "Tallywell Lite";
const std::string CARD_PORT_IN_USE =
    "Tallywell Lite could not start its card server: port " + std::to_string(CARD_SERVER_PORT) +
    " is in use, probably by another copy of Tallywell Lite. Phones and tablets cannot reach this copy, "
    "so its Wi-Fi section shows no links.";

// Server thread: the card server could not listen. Said once, in a box on the UI thread.
void report_card_server_unreachable() {
  platform_layer.run_on_ui_thread([] { platform_layer.message_box(CARD_PORT_IN_USE, APP_TITLE); });
}

bool start_thread(std::thread& slot, void (*body)()) {
  try {
    slot = std::thread(body);
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

// A client that sends its request a byte at a time holds one of the card server's threads,
// and so the server's end, for as long as it likes; shut-down waits this long for it.
constexpr std::chrono::seconds CARD_SERVER_STOP_WAIT{2};

// The longest that a stop waits for another program's lock on the contest, in all.
constexpr std::chrono::seconds STOP_LOCK_WAIT{5};

std::mutex card_server_end_mutex;
std::condition_variable card_server_end_cv;
bool card_server_ended = false;

void run_card_server() {
  card_server_body();
  {
    std::lock_guard<std::mutex> lock(card_server_end_mutex);
    card_server_ended = true;
  }
  card_server_end_cv.notify_all();
}

// Joins the card server's thread if it ends within the wait, else leaves it running; false
// then.
bool end_card_server_thread() {
  if (!server_thread.joinable()) return true;
  bool ended;
  {
    std::unique_lock<std::mutex> lock(card_server_end_mutex);
    ended = card_server_end_cv.wait_for(lock, CARD_SERVER_STOP_WAIT, [] { return card_server_ended; });
  }
  if (ended) {
    server_thread.join();
  } else {
    server_thread.detach();
  }
  return ended;
}

}  // namespace

std::string start_services() {
  limit_lock_waits(std::chrono::steady_clock::time_point::max());
  if (!start_thread(worker_thread, command_worker_func)) return "The worker thread could not be started.";
  card_server_ended = false;
  if (card_server_body && !start_thread(server_thread, run_card_server)) {
    stop_services();
    return "The card server thread could not be started.";
  }
  return std::string();
}

// The stop flag is set under the queue mutex so an idle worker is already waiting when the
// wake-up comes. The server is ended before the worker, and both before the database closes,
// so nothing can touch the connection while it closes (the server's threads never touch it).
bool stop_services() {
  request_stop();
  // The operation running now and the saves run at the stop share one wait for another
  // program's lock on the contest, so the stop stays bounded whatever their number.
  limit_lock_waits(std::chrono::steady_clock::now() + STOP_LOCK_WAIT);
  if (stop_card_server) stop_card_server();
  const bool server_ended = end_card_server_thread();
  // The worker first runs the saves and deletes that were queued before the stop.
  if (worker_thread.joinable()) worker_thread.join();
  close_database();
  return server_ended;
}

WindowSize main_window_size(int dpi) { return {dpi * 1040 / 96, dpi * 640 / 96}; }

int run_desktop_app(const std::u16string& page) {
  // Without the toolkit no window can exist: this is where registering the window class
  // fails.
  if (!platform_layer.initialize()) {
    platform_layer.message_box("Call to RegisterClassEx failed!", APP_TITLE);
    return 1;
  }
  // The toolkit scales each window for its monitor by itself; only the size is ours.
  const WindowSize size = main_window_size(platform_layer.system_dpi());
  MainWindow* window = platform_layer.create_main_window(
      APP_TITLE, size.width, size.height, MainWindowEvents{on_main_window_destroyed, on_command_result});
  if (!window) {
    platform_layer.message_box("Call to CreateWindow failed!", APP_TITLE);
    return 1;
  }
  main_window = window;

  // The table is complete before any thread that dispatches starts.
  initialize_functions();
  post_command_result = post_reply_to_window;
  contest_dialog_layer = show_contest_file_dialog;
  install_desktop_hooks();
  on_card_server_unreachable = report_card_server_unreachable;
  if (const std::string failure = start_services(); !failure.empty()) {
    platform_layer.message_box(failure, APP_TITLE);
    return 1;
  }

  platform_layer.show_main_window(window);
  start_web_view(page);
  const int exit_code = platform_layer.run_message_loop();

  if (!stop_services()) {
    // The card server's thread is still inside its Server, which the exit's destructors
    // would destroy under it. Everything else has ended in order: leave without them.
    std::fflush(stdout);
    std::_Exit(exit_code);
  }
  return exit_code;
}
