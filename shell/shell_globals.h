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

// The card server's place in the start-up and shut-down order: the body of server_thread
// (http_server_func) and the call that stops its listening (stop_http_server), which is safe
// before listening has begun and once the server is gone. Tests put stand-ins here.
extern void (*card_server_body)();
extern void (*stop_card_server)();
