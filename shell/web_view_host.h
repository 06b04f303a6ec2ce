#pragma once
// The web view inside the main window: made once the window shows, taken down with it.
#include <string>

// Makes the view in main_window, loads the page into it and takes its messages. Without a
// view the window stays usable and closes in the usual order.
void start_web_view(const std::u16string& page);

// The main window is being destroyed: stop the card server, take the view down, and end
// the message loop with exit code 0.
void on_main_window_destroyed();
