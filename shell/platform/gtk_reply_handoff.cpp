// Replies from the worker reach the UI thread through one ordered queue, drained by an
// idle callback on the main loop.
#include <deque>
#include <mutex>

#include "shell/platform/gtk_internal.h"

namespace {
std::mutex handoff_mutex;
std::deque<std::string*> waiting_replies;
bool window_open = false;  // the main window takes replies; false once it is gone
bool drain_scheduled = false;
void (*reply_sink)(std::string*) = nullptr;

gboolean drain_replies(gpointer) {
  for (;;) {
    std::string* reply;
    {
      std::lock_guard<std::mutex> lock(handoff_mutex);
      if (waiting_replies.empty() || !window_open) {
        drain_scheduled = false;
        return G_SOURCE_REMOVE;
      }
      reply = waiting_replies.front();
      waiting_replies.pop_front();
    }
    try {
      reply_sink(reply);  // owns the text from here on, also when it fails
    } catch (...) {
    }
  }
}
}  // namespace

void open_reply_handoff(void (*on_reply)(std::string*)) {
  std::lock_guard<std::mutex> lock(handoff_mutex);
  window_open = true;
  reply_sink = on_reply;
}

void close_reply_handoff() {
  std::deque<std::string*> dropped;
  {
    std::lock_guard<std::mutex> lock(handoff_mutex);
    window_open = false;
    dropped.swap(waiting_replies);
  }
  for (std::string* reply : dropped) delete reply;
}

bool gtk_post_reply(MainWindow* window, std::string* reply) {
  std::lock_guard<std::mutex> lock(handoff_mutex);
  // The one main window is app_window, which only the UI thread may read; this flag is its
  // state as other threads may see it.
  if (!window || !window_open || !reply_sink) return false;
  waiting_replies.push_back(reply);
  if (!drain_scheduled) {
    drain_scheduled = true;
    g_idle_add_full(G_PRIORITY_DEFAULT, drain_replies, nullptr, nullptr);
  }
  return true;
}
