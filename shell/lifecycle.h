#pragma once
// The order of the whole run: start-up, the message loop, shut-down.
#include <string>

struct WindowSize {
  int width;
  int height;
};

// The main window's size in device pixels: 1040 x 640 at 96 DPI, scaled with the remainder
// dropped.
WindowSize main_window_size(int dpi);

// Runs the application on the installed platform layer, showing the page, and answers the
// process exit code: 0 after the window closed, 1 when start-up failed.
int run_desktop_app(const std::u16string& page);

// The worker's thread, then the card server's (when card_server_body is set), once the
// function table is filled. Answers the empty text, or the message to show when a thread could
// not be started; nothing is left running then.
std::string start_services();

// Shut-down in the one order every end of a run takes (the window's close, a stop signal, the
// page's process ending, the bridge harness): the stop flag; the card server's end, waited for
// at most two seconds; the worker's end, once it has run the saves and deletes queued before
// the stop; the contest's close. False when the card server's thread was left running: the
// process must then end without the exit's destructors, which would destroy the server under it.
bool stop_services();
