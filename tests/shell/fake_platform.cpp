#include "tests/shell/fake_platform.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

FakeSettings fake;

namespace {
std::mutex fake_mutex;
std::condition_variable tasks_cv;
std::deque<std::function<void()>> tasks;
std::vector<std::string> calls;
std::vector<std::u16string> page_messages;
std::vector<std::string> refused;
std::deque<std::string*> pending_replies;
MainWindowEvents events;
void (*page_sink)(const std::u16string&) = nullptr;
bool window_gone = false;
bool quit = false;
int quit_code = -1;
int window_token = 0;
int view_token = 0;

MainWindow* const FAKE_WINDOW = reinterpret_cast<MainWindow*>(&window_token);
WebView* const FAKE_VIEW = reinterpret_cast<WebView*>(&view_token);

bool initialize() {
  fake_record("initialize");
  return fake.toolkit_ok;
}

int system_dpi() {
  fake_record("system_dpi");
  return fake.dpi;
}

MainWindow* create_main_window(const std::string& title, int width, int height, MainWindowEvents window_events) {
  fake_record("create_main_window " + title + " " + std::to_string(width) + "x" + std::to_string(height));
  if (!fake.window_ok) return nullptr;
  events = window_events;
  return FAKE_WINDOW;
}

void show_main_window(MainWindow* window) { fake_record(window == FAKE_WINDOW ? "show_main_window" : "show ?"); }

int run_message_loop() {
  fake_record("run_message_loop");
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> lock(fake_mutex);
      if (quit) return quit_code;
      // A test that waits for something that never comes ends here instead of hanging.
      if (!tasks_cv.wait_for(lock, std::chrono::seconds(10), [] { return !tasks.empty() || quit; })) {
        calls.push_back("message loop timed out");
        tasks.push_back([] { fake_user_closes_window(); });
      }
      if (tasks.empty()) continue;
      task = std::move(tasks.front());
      tasks.pop_front();
    }
    task();
  }
}

void post_quit(int exit_code) {
  fake_record("post_quit " + std::to_string(exit_code));
  std::lock_guard<std::mutex> lock(fake_mutex);
  quit = true;
  quit_code = exit_code;
}

bool post_reply(MainWindow* window, std::string* reply) {
  std::lock_guard<std::mutex> lock(fake_mutex);
  if (window != FAKE_WINDOW || window_gone) {
    refused.push_back(*reply);
    return false;
  }
  pending_replies.push_back(reply);
  tasks.push_back([] {
    std::string* next = nullptr;
    {
      std::lock_guard<std::mutex> lock(fake_mutex);
      if (pending_replies.empty()) return;
      next = pending_replies.front();
      pending_replies.pop_front();
    }
    events.on_reply(next);
  });
  tasks_cv.notify_one();
  return true;
}

WebView* create_web_view(MainWindow* window, void (*on_message)(const std::u16string&),
                         void (*)(const char*, std::size_t)) {
  fake_record(window == FAKE_WINDOW ? "create_web_view" : "create_web_view ?");
  if (!fake.view_ok) return nullptr;
  page_sink = on_message;
  return FAKE_VIEW;
}

void load_html(WebView* view, const std::u16string& html) {
  fake_record((view == FAKE_VIEW ? "load_html " : "load_html ? ") + std::to_string(html.size()));
}

void post_to_page(WebView* view, const std::u16string& text) {
  {
    std::lock_guard<std::mutex> lock(fake_mutex);
    if (view != FAKE_VIEW) calls.push_back("post_to_page ?");
    page_messages.push_back(text);
  }
  if (fake.after_page_message) fake.after_page_message();
}

void clear_browsing_data(WebView* view) { fake_record(view == FAKE_VIEW ? "clear_browsing_data" : "clear ?"); }
void close_web_view(WebView* view) { fake_record(view == FAKE_VIEW ? "close_web_view" : "close ?"); }
void message_box(const std::string& text, const std::string& caption) { fake_record("message_box " + caption + ": " + text); }

std::string choose_existing_file(MainWindow* owner, const FileDialogRequest& request) {
  fake_record(owner == FAKE_WINDOW ? "choose_existing_file" : "choose_existing_file ?");
  return fake.dialog ? fake.dialog(request) : std::string();
}

void run_on_ui_thread(void (*task)()) { fake_on_ui_thread(task); }
}  // namespace

void install_fake_layer() {
  platform_layer = PlatformLayer{initialize, system_dpi, create_main_window, show_main_window, run_message_loop,
                                 post_quit, post_reply, create_web_view, load_html, post_to_page,
                                 clear_browsing_data, close_web_view, message_box, choose_existing_file,
                                 run_on_ui_thread};
  std::lock_guard<std::mutex> lock(fake_mutex);
  fake = FakeSettings{};
  tasks.clear();
  calls.clear();
  page_messages.clear();
  refused.clear();
  for (std::string* reply : pending_replies) delete reply;
  pending_replies.clear();
  events = MainWindowEvents{};
  page_sink = nullptr;
  window_gone = false;
  quit = false;
  quit_code = -1;
}

std::vector<std::string> fake_calls() {
  std::lock_guard<std::mutex> lock(fake_mutex);
  return calls;
}

void fake_record(const std::string& line) {
  std::lock_guard<std::mutex> lock(fake_mutex);
  calls.push_back(line);
}

std::vector<std::u16string> fake_page_messages() {
  std::lock_guard<std::mutex> lock(fake_mutex);
  return page_messages;
}

std::vector<std::string> fake_refused_replies() {
  std::lock_guard<std::mutex> lock(fake_mutex);
  return refused;
}

void fake_on_ui_thread(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(fake_mutex);
  tasks.push_back(std::move(task));
  tasks_cv.notify_one();
}

void fake_page_posts(const std::u16string& message) { page_sink(message); }

void fake_user_closes_window() {
  // Like a destroyed window: later replies are refused, and queued ones are freed undelivered.
  std::deque<std::string*> dropped;
  {
    std::lock_guard<std::mutex> lock(fake_mutex);
    if (window_gone) return;
    window_gone = true;
    calls.push_back("window closed");
    dropped.swap(pending_replies);
  }
  for (std::string* reply : dropped) delete reply;
  events.on_destroy();
}
