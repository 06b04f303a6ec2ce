// The file dialog that the worker asks for: shown on the UI thread, answered through a
// promise the worker waits on. A plain GTK dialog, never a desktop portal: the database
// needs the real file, with room beside it for SQLite's journal files.
#include <future>
#include <memory>
#include <mutex>

#include "shell/platform/gtk_internal.h"

namespace {
struct DialogAsk {
  FileDialogRequest request;
  std::promise<std::string> answer;
  bool answered = false;
  GtkWidget* dialog = nullptr;
};
using AskHandle = std::shared_ptr<DialogAsk>;

std::mutex dialog_mutex;
AskHandle current_ask;       // the one dialog asked for or shown
bool dialogs_ended = false;  // the window is gone

// Answers once; a later answer (the user and the shut-down racing) is ignored.
void answer(const AskHandle& ask, const std::string& path) {
  std::lock_guard<std::mutex> lock(dialog_mutex);
  if (ask->answered) return;
  ask->answered = true;
  ask->dialog = nullptr;
  ask->answer.set_value(path);
  if (current_ask == ask) current_ask.reset();
}

bool is_regular_file(const char* path) { return path && g_file_test(path, G_FILE_TEST_IS_REGULAR); }

void on_response(GtkDialog* dialog, gint response, gpointer data) {
  const AskHandle ask = *static_cast<AskHandle*>(data);
  std::string path;
  if (response == GTK_RESPONSE_ACCEPT) {
    gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    const bool exists = is_regular_file(chosen);
    if (exists) path = chosen;
    g_free(chosen);
    if (!exists) return;  // only an existing file: the dialog stays open for another pick
  }
  answer(ask, path);
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

void free_ask_handle(gpointer data, GClosure*) { delete static_cast<AskHandle*>(data); }

GtkWidget* find_chooser_widget(GtkWidget* widget) {
  if (GTK_IS_FILE_CHOOSER_WIDGET(widget)) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget* found = nullptr;
  for (GList* it = children; it && !found; it = it->next) found = find_chooser_widget(GTK_WIDGET(it->data));
  g_list_free(children);
  return found;
}

gboolean show_dialog(gpointer data) {
  const AskHandle ask = *static_cast<AskHandle*>(data);
  {
    std::lock_guard<std::mutex> lock(dialog_mutex);
    if (ask->answered || !app_window) return G_SOURCE_REMOVE;
  }
  GtkWidget* dialog = gtk_file_chooser_dialog_new("Open", GTK_WINDOW(app_window), GTK_FILE_CHOOSER_ACTION_OPEN,
                                                  "_Cancel", GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT,
                                                  nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_file_chooser_set_select_multiple(chooser, FALSE);
  const FileDialogRequest& request = ask->request;
  for (const FileFilter& entry : request.filters) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, entry.name.c_str());
    gtk_file_filter_add_pattern(filter, entry.pattern.c_str());
    gtk_file_chooser_add_filter(chooser, filter);
    if (&entry == &request.filters.front()) gtk_file_chooser_set_filter(chooser, filter);
  }
  if (!request.start_folder.empty() && g_file_test(request.start_folder.c_str(), G_FILE_TEST_IS_DIR)) {
    gtk_file_chooser_set_current_folder(chooser, request.start_folder.c_str());
  }
  g_signal_connect_data(dialog, "response", G_CALLBACK(on_response), new AskHandle(ask), free_ask_handle,
                        GConnectFlags(0));
  {
    std::lock_guard<std::mutex> lock(dialog_mutex);
    ask->dialog = dialog;
  }
  gtk_widget_show(dialog);
  // An open dialog has no name box until asked: open its location entry holding the name.
  if (!request.proposed_name.empty()) {
    if (GtkWidget* widget = find_chooser_widget(dialog)) {
      g_signal_emit_by_name(widget, "location-popup", request.proposed_name.c_str());
    }
  }
  return G_SOURCE_REMOVE;
}

void free_pending_show(gpointer data) { delete static_cast<AskHandle*>(data); }

// Takes the current ask out and answers it with "", closing its dialog if one is shown.
void cancel_current() {
  AskHandle ask;
  GtkWidget* dialog = nullptr;
  {
    std::lock_guard<std::mutex> lock(dialog_mutex);
    ask = current_ask;
    if (ask) dialog = ask->dialog;
  }
  if (!ask) return;
  answer(ask, std::string());
  if (dialog) gtk_widget_destroy(dialog);
}
}  // namespace

std::string gtk_choose_existing_file(MainWindow*, const FileDialogRequest& request) {
  auto ask = std::make_shared<DialogAsk>();
  ask->request = request;
  std::future<std::string> chosen = ask->answer.get_future();
  {
    std::lock_guard<std::mutex> lock(dialog_mutex);
    if (dialogs_ended || current_ask) return std::string();
    current_ask = ask;
  }
  // Always through the main loop, never run here: GTK belongs to the UI thread.
  g_idle_add_full(G_PRIORITY_DEFAULT, show_dialog, new AskHandle(ask), free_pending_show);
  return chosen.get();
}

void cancel_file_dialog() { cancel_current(); }

void end_file_dialogs() {
  {
    std::lock_guard<std::mutex> lock(dialog_mutex);
    dialogs_ended = true;
  }
  cancel_current();
}
