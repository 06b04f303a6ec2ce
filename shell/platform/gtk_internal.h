#pragma once
// Shared between the GTK files of the layer; everything here runs on the UI thread unless
// it says otherwise.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>

#include "shell/platform_layer.h"

// gtk_window.cpp
// The main window until it is destroyed: the layer's one pointer to it (the shell holds the
// same window as its opaque main_window).
extern GtkWidget* app_window;
extern GtkWidget* app_column;  // the window's one child: find bar above, web view below
void gtk_message_box(const std::string& text, const std::string& caption);  // waits for OK
// A modal box with an OK button, owned by the main window; the caller shows it.
GtkWidget* new_message_box(const std::string& text, const std::string& caption);
void close_message_boxes();  // hides every box shown, ending any wait for one

// gtk_reply_handoff.cpp
void open_reply_handoff(void (*on_reply)(std::string* reply));
void close_reply_handoff();  // later posts fail; replies not yet delivered are freed
bool gtk_post_reply(MainWindow* window, std::string* reply);  // any thread

// gtk_web_view.cpp
WebView* gtk_create_web_view(MainWindow* window, void (*on_message)(const std::u16string& message),
                             void (*on_unreadable)(const char* utf8, std::size_t size));
void gtk_load_html(WebView* view, const std::u16string& html);
void gtk_post_to_page(WebView* view, const std::u16string& text);
void gtk_clear_browsing_data(WebView* view);
void gtk_close_web_view(WebView* view);

// gtk_browser_keys.cpp: what a browser gives a page by default (print, find, zoom).
void attach_browser_keys(GtkWidget* column, WebKitWebView* view);
void detach_browser_keys();

// gtk_print.cpp
void print_page(WebKitWebView* view);
// The main window was asked to close while the print dialog is open: cancels the dialog and
// closes the window once it is gone. False when no print dialog is open.
bool cancel_print_dialog_then_close();

// gtk_file_dialog.cpp
std::string gtk_choose_existing_file(MainWindow* owner, const FileDialogRequest& request);  // any thread
void cancel_file_dialog();        // answers a dialog that is open or asked for with ""
void end_file_dialogs();          // the window is gone: this and every later ask answers ""
