#pragma once
// The shell's globals: the window, the web view, the two service threads and the card
// server's slot.
#include <thread>

#include "shell/platform_layer.h"

// Set once the window exists and never cleared: the worker posts replies to it and the
// contest file dialog is owned by it.
extern MainWindow* main_window;
// The view showing the main page; null before it exists and after the window closed.
// Touched on the UI thread only.
extern WebView* webview;

extern std::thread worker_thread;
extern std::thread server_thread;

// The card server's slot in the start-up and shut-down order: the body of server_thread and
// the call that stops its listening, which must be safe before listening has begun and
// when the server is already gone. Empty until the card server is built in.
extern void (*card_server_body)();
extern void (*stop_card_server)();
