#pragma once
// A stand-in for the platform layer: it records what the shell asks of it, and its message
// loop runs queued tasks on the test's own thread, as the UI thread would.
#include <functional>
#include <string>
#include <vector>

#include "shell/platform_layer.h"

struct FakeSettings {
  bool toolkit_ok = true;
  bool window_ok = true;
  bool view_ok = true;
  int dpi = 96;
  // Answers the file dialog on the worker thread; empty: the user cancels.
  std::function<std::string(const FileDialogRequest&)> dialog;
  // Called on the UI thread after each text posted to the page.
  std::function<void()> after_page_message;
};

extern FakeSettings fake;

// Fills platform_layer with the stand-in and clears everything it recorded.
void install_fake_layer();

// The calls the shell made, in order, as short texts.
std::vector<std::string> fake_calls();
// Records a line among the calls, from any thread.
void fake_record(const std::string& line);
// The texts posted to the page, in order.
std::vector<std::u16string> fake_page_messages();
// Replies the hand-off refused because the window was gone.
std::vector<std::string> fake_refused_replies();

// Queues a task for the message loop (any thread).
void fake_on_ui_thread(std::function<void()> task);
// UI thread: the page posts a text.
void fake_page_posts(const std::u16string& message);
// UI thread: the user closes the main window.
void fake_user_closes_window();
