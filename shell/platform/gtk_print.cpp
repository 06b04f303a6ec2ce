// Printing the page (Ctrl+P and the context menu's Print): the web view's print dialog, with
// Print to file proposing the section's name in the contest's folder, and giving way when
// the main window is closed.
#include <algorithm>
#include <string>
#include <vector>

#include "shell/desktop_folder.h"
#include "shell/platform/gtk_internal.h"

namespace {
bool printing = false;              // the print dialog is open
bool close_after_printing = false;  // the main window was closed meanwhile

void on_print_finished(WebKitPrintOperation* operation, gpointer) { g_object_unref(operation); }

// The folder of the open contest: that of the file SQLite holds open together with its
// write-ahead log. Empty when no contest is open.
std::string open_contest_folder() {
  std::vector<std::string> open_files;
  if (GDir* fds = g_dir_open("/proc/self/fd", 0, nullptr)) {
    while (const gchar* fd = g_dir_read_name(fds)) {
      gchar* link = g_strconcat("/proc/self/fd/", fd, nullptr);
      if (gchar* target = g_file_read_link(link, nullptr)) {
        open_files.emplace_back(target);
        g_free(target);
      }
      g_free(link);
    }
    g_dir_close(fds);
  }
  for (const std::string& file : open_files) {
    if (std::find(open_files.begin(), open_files.end(), file + "-wal") == open_files.end()) continue;
    gchar* folder = g_path_get_dirname(file.c_str());
    std::string result = folder;
    g_free(folder);
    return result;
  }
  return std::string();
}

// Print to file proposes the section's name in the contest's folder (the Desktop while no
// contest is open), not output.pdf in the working folder.
GtkPrintSettings* proposed_settings(const std::string& section) {
  std::string folder = open_contest_folder();
  if (folder.empty()) folder = desktop_folder_path();
  std::string name = section.empty() ? "Tallywell" : section;
  std::replace(name.begin(), name.end(), '/', '-');
  GtkPrintSettings* settings = gtk_print_settings_new();
  gchar* path = g_build_filename(folder.c_str(), (name + ".pdf").c_str(), nullptr);
  if (gchar* uri = g_filename_to_uri(path, nullptr, nullptr)) {
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, uri);
    g_free(uri);
  }
  g_free(path);
  gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_DIR, folder.c_str());
  gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_BASENAME, name.c_str());
  gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
  return settings;
}

void run_print_dialog(WebKitWebView* view, const std::string& section) {
  WebKitPrintOperation* operation = webkit_print_operation_new(view);
  GtkPrintSettings* settings = proposed_settings(section);
  webkit_print_operation_set_print_settings(operation, settings);
  g_object_unref(settings);
  // Kept alive until printing ends: the dialog returns before the pages are done.
  g_signal_connect(operation, "finished", G_CALLBACK(on_print_finished), nullptr);
  printing = true;
  const WebKitPrintOperationResponse response = webkit_print_operation_run_dialog(operation, GTK_WINDOW(app_window));
  printing = false;
  if (response != WEBKIT_PRINT_OPERATION_RESPONSE_PRINT) {
    g_signal_handlers_disconnect_by_func(operation, reinterpret_cast<gpointer>(on_print_finished), nullptr);
    g_object_unref(operation);
  }
  if (close_after_printing) {
    close_after_printing = false;
    if (app_window) gtk_window_close(GTK_WINDOW(app_window));
  }
}

void on_section_read(GObject* source, GAsyncResult* result, gpointer) {
  WebKitWebView* view = WEBKIT_WEB_VIEW(source);
  std::string section;
  if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(view, result, nullptr)) {
    if (jsc_value_is_string(value)) {
      gchar* text = jsc_value_to_string(value);
      section = text;
      g_free(text);
    }
    g_object_unref(value);
  }
  // Not once the window has gone, nor twice at once.
  if (printing || !app_window || gtk_widget_get_toplevel(GTK_WIDGET(view)) != app_window) return;
  run_print_dialog(view, section);
}
}  // namespace

void print_page(WebKitWebView* view) {
  if (!view || printing) return;
  // The heading of the section shown names the file; a page without sections gives none.
  const char* script = "(() => { const h = document.querySelector('main > section.active h1'); "
                       "return h ? h.textContent.trim() : ''; })()";
  webkit_web_view_evaluate_javascript(view, script, -1, nullptr, nullptr, nullptr, on_section_read, nullptr);
}

bool cancel_print_dialog_then_close() {
  if (!printing) return false;
  GList* windows = gtk_window_list_toplevels();
  for (GList* it = windows; it; it = it->next) {
    GtkWidget* window = GTK_WIDGET(it->data);
    if (g_strcmp0(G_OBJECT_TYPE_NAME(window), "GtkPrintUnixDialog") == 0 && gtk_widget_get_visible(window)) {
      gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
    }
  }
  g_list_free(windows);
  close_after_printing = true;
  return true;
}
