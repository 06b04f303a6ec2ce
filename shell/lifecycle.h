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
