// The main window, the message loop and message boxes on GTK 3.
#include <glib-unix.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <vector>

#include "shell/platform/gtk_internal.h"
#include "shell/platform/gtk_layer.h"

GtkWidget* app_window = nullptr;
GtkWidget* app_column = nullptr;

namespace {
bool toolkit_ready = false;
MainWindowEvents window_events;
GMainLoop* main_loop = nullptr;
bool quit_posted = false;
int quit_code = 0;

int monitor_scale() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return 1;
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
  const int scale = monitor ? gdk_monitor_get_scale_factor(monitor) : 1;
  return scale > 0 ? scale : 1;
}

// While a modal dialog is open GTK drops a close request for the main window. The close
// wins: the contest file dialog is answered, message boxes give way, and a print dialog is
// cancelled. True when the window closes by itself once printing has returned.
bool make_way_for_close() {
  cancel_file_dialog();
  close_message_boxes();
  return cancel_print_dialog_then_close();
}

void route_event(GdkEvent* event, gpointer) {
  if (event->type == GDK_DELETE && app_window && event->any.window == gtk_widget_get_window(app_window) &&
      make_way_for_close())
    return;
  gtk_main_do_event(event);
}

void post_quit(int exit_code);

// Closes the main window as the user's close does, and asks again until it is gone: a dialog
// may still hold the window for a moment after it was told to give way.
gboolean close_all_windows(gpointer) {
  if (!app_window) return G_SOURCE_REMOVE;
  if (!make_way_for_close()) gtk_window_close(GTK_WINDOW(app_window));
  return G_SOURCE_CONTINUE;
}

// A request to end the program (SIGTERM from the system's shut-down, Ctrl+C, a closed
// terminal) closes the window as the user would, so the run ends in its usual order.
gboolean on_stop_signal(gpointer) {
  static bool closing = false;
  if (!app_window) {
    post_quit(0);
  } else if (!closing) {
    closing = true;
    close_all_windows(nullptr);
    g_timeout_add(100, close_all_windows, nullptr);
  }
  return G_SOURCE_CONTINUE;
}

bool initialize() {
  g_set_prgname("tallywell");
  g_set_application_name("Tallywell Lite");
  // No arguments: the program reads no command line, not even the toolkit's options.
  toolkit_ready = gtk_init_check(nullptr, nullptr);
  if (!toolkit_ready) return false;
  gdk_event_handler_set(route_event, nullptr, nullptr);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) g_unix_signal_add(signal, on_stop_signal, nullptr);
  // The contest file is all the program stores. GTK's dialogs add the files they open and
  // print to the user's recently used files, a list every program of the user shares; it is
  // written only when its manager reports a change, so here it reports none. (Switching the
  // list off instead makes GTK write it back empty, losing other programs' entries.)
  auto* recent = static_cast<GtkRecentManagerClass*>(g_type_class_ref(GTK_TYPE_RECENT_MANAGER));
  recent->changed = [](GtkRecentManager*) {};
  return true;
}

int system_dpi() {
  // The font resolution is per logical pixel; the monitor scale turns it into device DPI.
  GdkScreen* screen = gdk_screen_get_default();
  double resolution = screen ? gdk_screen_get_resolution(screen) : -1.0;
  if (resolution <= 0) resolution = 96.0;
  return static_cast<int>(std::lround(resolution * monitor_scale()));
}

void on_window_destroy(GtkWidget*, gpointer) {
  // From here on the window takes no replies and no dialog, as a destroyed window would.
  close_reply_handoff();
  end_file_dialogs();
  detach_browser_keys();
  try {
    if (window_events.on_destroy) window_events.on_destroy();
  } catch (...) {
    post_quit(0);  // whatever failed, the loop must still end so the run can shut down
  }
  app_window = nullptr;
  app_column = nullptr;
}

MainWindow* create_main_window(const std::string& title, int width, int height, MainWindowEvents events) {
  if (app_window) return nullptr;  // there is one main window
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (!window) return nullptr;
  const int scale = monitor_scale();
  gtk_window_set_title(GTK_WINDOW(window), title.c_str());
  gtk_window_set_default_size(GTK_WINDOW(window), width / scale, height / scale);
  app_column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window), app_column);
  window_events = events;
  g_signal_connect(window, "destroy", G_CALLBACK(on_window_destroy), nullptr);
  app_window = window;
  open_reply_handoff(events.on_reply);
  return reinterpret_cast<MainWindow*>(window);
}

void show_main_window(MainWindow* window) {
  GtkWidget* widget = reinterpret_cast<GtkWidget*>(window);
  gtk_widget_show_all(widget);
  gtk_window_present(GTK_WINDOW(widget));
}

int run_message_loop() {
  if (quit_posted) return quit_code;
  main_loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(main_loop);
  g_main_loop_unref(main_loop);
  main_loop = nullptr;
  return quit_code;
}

void post_quit(int exit_code) {
  quit_code = exit_code;
  quit_posted = true;
  if (main_loop) g_main_loop_quit(main_loop);
}
}  // namespace

namespace {
std::vector<GtkWidget*> open_boxes;  // message boxes shown now, in the order shown

void forget_box(GtkWidget* box, gpointer) {
  open_boxes.erase(std::remove(open_boxes.begin(), open_boxes.end(), box), open_boxes.end());
}
}  // namespace

GtkWidget* new_message_box(const std::string& text, const std::string& caption) {
  GtkWidget* box = gtk_message_dialog_new(app_window ? GTK_WINDOW(app_window) : nullptr, GTK_DIALOG_MODAL,
                                          GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
  open_boxes.push_back(box);
  g_signal_connect(box, "destroy", G_CALLBACK(forget_box), nullptr);
  return box;
}

void close_message_boxes() {
  // Hidden, a box ends its wait and lets go of the input it held.
  const std::vector<GtkWidget*> boxes = open_boxes;
  for (GtkWidget* box : boxes) gtk_widget_hide(box);
}

void gtk_message_box(const std::string& text, const std::string& caption) {
  // Also on the error stream: without a display it is the only place the text can go.
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  if (!toolkit_ready) return;
  GtkWidget* dialog = new_message_box(text, caption);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

namespace {
// Dropped once the window is gone: nothing is shown after the close.
void run_on_ui_thread(void (*task)()) {
  g_idle_add(
      [](gpointer data) -> gboolean {
        if (app_window) reinterpret_cast<void (*)()>(data)();
        return G_SOURCE_REMOVE;
      },
      reinterpret_cast<gpointer>(task));
}
}  // namespace

void install_gtk_layer() {
  platform_layer.initialize = initialize;
  platform_layer.system_dpi = system_dpi;
  platform_layer.create_main_window = create_main_window;
  platform_layer.show_main_window = show_main_window;
  platform_layer.run_message_loop = run_message_loop;
  platform_layer.post_quit = post_quit;
  platform_layer.post_reply = gtk_post_reply;
  platform_layer.create_web_view = gtk_create_web_view;
  platform_layer.load_html = gtk_load_html;
  platform_layer.post_to_page = gtk_post_to_page;
  platform_layer.clear_browsing_data = gtk_clear_browsing_data;
  platform_layer.close_web_view = gtk_close_web_view;
  platform_layer.message_box = gtk_message_box;
  platform_layer.choose_existing_file = gtk_choose_existing_file;
  platform_layer.run_on_ui_thread = run_on_ui_thread;
}
