#pragma once
// What the shell needs of the windowing system and the web view. The application installs
// the GTK layer (shell/platform/); tests install a stand-in. Every entry runs on the UI
// thread except post_reply and choose_existing_file, which the worker calls, and
// run_on_ui_thread.
#include <cstddef>
#include <string>
#include <vector>

struct MainWindow;  // opaque, owned by the layer
struct WebView;     // opaque, owned by the layer

struct FileFilter {
  std::string name;
  std::string pattern;
};

struct FileDialogRequest {
  std::string start_folder;  // used when it exists
  std::vector<FileFilter> filters;  // shown in order, the first selected
  std::string proposed_name;
};

// What the main window reports back to the shell, on the UI thread.
struct MainWindowEvents {
  void (*on_destroy)() = nullptr;                  // the window is going away
  void (*on_reply)(std::string* reply) = nullptr;  // a text handed over by post_reply; now owned here
};

struct PlatformLayer {
  // Readies the toolkit; false when no window can ever be shown (no display).
  bool (*initialize)() = nullptr;
  // The system's dots per inch: 96 at 100 % scale.
  int (*system_dpi)() = nullptr;
  // Width and height in device pixels. Null when the window could not be made.
  MainWindow* (*create_main_window)(const std::string& title, int width, int height,
                                    MainWindowEvents events) = nullptr;
  void (*show_main_window)(MainWindow* window) = nullptr;
  // Runs until post_quit; answers the code given to it.
  int (*run_message_loop)() = nullptr;
  void (*post_quit)(int exit_code) = nullptr;
  // Any thread: hands the text to the window's on_reply, keeping the order of the calls.
  // False once the window is gone; the caller then still owns the text.
  bool (*post_reply)(MainWindow* window, std::string* reply) = nullptr;
  // A view filling the window; every string the page posts reaches on_message in order, or,
  // when the layer has no memory to make it, on_unreadable as the UTF-8 bytes it has.
  // Null when no view could be made.
  WebView* (*create_web_view)(MainWindow* window, void (*on_message)(const std::u16string& message),
                              void (*on_unreadable)(const char* utf8, std::size_t size)) = nullptr;
  void (*load_html)(WebView* view, const std::u16string& html) = nullptr;
  // The page receives the text as the data of a "message" event.
  void (*post_to_page)(WebView* view, const std::u16string& text) = nullptr;
  void (*clear_browsing_data)(WebView* view) = nullptr;
  void (*close_web_view)(WebView* view) = nullptr;
  void (*message_box)(const std::string& text, const std::string& caption) = nullptr;
  // Any thread: a modal dialog owned by the window for picking one existing file. Answers
  // its full path, or "" when the user cancelled or the window is gone.
  std::string (*choose_existing_file)(MainWindow* owner, const FileDialogRequest& request) = nullptr;
  // Any thread: runs the task on the UI thread from the message loop.
  void (*run_on_ui_thread)(void (*task)()) = nullptr;
};

extern PlatformLayer platform_layer;
