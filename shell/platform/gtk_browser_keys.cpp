// What a browser gives every page and the main page relies on: print (Ctrl+P and the
// context menu), find (Ctrl+F) and zoom (Ctrl+plus, Ctrl+minus, Ctrl+0).
#include <array>
#include <memory>
#include <string>

#include "shell/js_string_literal.h"
#include "shell/platform/gtk_internal.h"

namespace {
WebKitWebView* keys_view = nullptr;
GtkWidget* find_bar = nullptr;
GtkWidget* find_entry = nullptr;
gulong key_handler = 0;

// The zoom steps browsers use, so Ctrl+0 always lands back on 100 %.
constexpr std::array<double, 17> ZOOM_STEPS = {0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                               1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 4.0, 5.0};

void zoom_by_step(int direction) {
  const double current = webkit_web_view_get_zoom_level(keys_view);
  double next = current;
  if (direction > 0) {
    for (double step : ZOOM_STEPS) {
      if (step > current + 0.001) {
        next = step;
        break;
      }
    }
  } else {
    for (auto it = ZOOM_STEPS.rbegin(); it != ZOOM_STEPS.rend(); ++it) {
      if (*it < current - 0.001) {
        next = *it;
        break;
      }
    }
  }
  webkit_web_view_set_zoom_level(keys_view, next);
}

std::string searched_text;  // what the find controller holds now

void search_with_find_controller(const std::string& text, bool backwards, bool fresh) {
  WebKitFindController* finder = webkit_web_view_get_find_controller(keys_view);
  if (!fresh && text == searched_text) {
    if (backwards) webkit_find_controller_search_previous(finder);
    else webkit_find_controller_search_next(finder);
    return;
  }
  guint32 options = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;
  if (backwards) options |= WEBKIT_FIND_OPTIONS_BACKWARDS;
  webkit_find_controller_search(finder, text.c_str(), options, G_MAXUINT);
  searched_text = text;
}

struct PageSearch {
  std::string text;
  bool backwards;
  bool fresh;
};

// The page's own find answers true or false; a page without one answers nothing, and the
// web view's find controller searches it instead.
void on_page_searched(GObject* view, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<PageSearch> search(static_cast<PageSearch*>(data));
  JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
  const bool answered = value && jsc_value_is_boolean(value);
  if (value) g_object_unref(value);
  if (answered || !keys_view || WEBKIT_WEB_VIEW(view) != keys_view) return;
  search_with_find_controller(search->text, search->backwards, search->fresh);
}

// The main page finds its rows itself (findInPage), those its long tables do not display
// included; the web view's find controller would miss them.
void search(bool backwards, bool fresh) {
  if (!keys_view) return;
  const std::string text = gtk_entry_get_text(GTK_ENTRY(find_entry));
  if (text.empty()) {
    webkit_find_controller_search_finish(webkit_web_view_get_find_controller(keys_view));
    searched_text.clear();
    return;
  }
  const std::string script = std::string("typeof findInPage === 'function' ? findInPage(") + js_string_literal(text) +
                             (backwards ? ", true, " : ", false, ") + (fresh ? "false" : "true") + ") : undefined";
  webkit_web_view_evaluate_javascript(keys_view, script.data(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                      nullptr, on_page_searched, new PageSearch{text, backwards, fresh});
}

void on_search_changed(GtkSearchEntry*, gpointer) { search(false, true); }
void on_next_match(GtkSearchEntry*, gpointer) { search(false, false); }
void on_previous_match(GtkSearchEntry*, gpointer) { search(true, false); }

void on_find_bar_toggled(GObject*, GParamSpec*, gpointer) {
  if (!keys_view || gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(find_bar))) return;
  searched_text.clear();
  webkit_find_controller_search_finish(webkit_web_view_get_find_controller(keys_view));
  gtk_widget_grab_focus(GTK_WIDGET(keys_view));
}

void show_find_bar() {
  gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(find_bar), TRUE);
  gtk_widget_grab_focus(find_entry);
  gtk_editable_select_region(GTK_EDITABLE(find_entry), 0, -1);
}

gboolean on_key_press(GtkWidget*, GdkEventKey* event, gpointer) {
  if (!keys_view) return FALSE;
  const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
  const bool ctrl = modifiers == GDK_CONTROL_MASK;
  const bool ctrl_shift = modifiers == (GDK_CONTROL_MASK | GDK_SHIFT_MASK);
  if (!ctrl && !ctrl_shift) return FALSE;
  switch (gdk_keyval_to_lower(event->keyval)) {
    case GDK_KEY_p:
      if (!ctrl) return FALSE;
      print_page(keys_view);
      return TRUE;
    case GDK_KEY_f:
      if (!ctrl) return FALSE;
      show_find_bar();
      return TRUE;
    case GDK_KEY_plus:
    case GDK_KEY_equal:
    case GDK_KEY_KP_Add:
      zoom_by_step(1);  // Ctrl+Shift+= is Ctrl+plus on many layouts
      return TRUE;
    case GDK_KEY_minus:
    case GDK_KEY_KP_Subtract:
      if (!ctrl) return FALSE;
      zoom_by_step(-1);
      return TRUE;
    case GDK_KEY_0:
    case GDK_KEY_KP_0:
    case GDK_KEY_KP_Insert:
      if (!ctrl) return FALSE;
      webkit_web_view_set_zoom_level(keys_view, 1.0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void attach_browser_keys(GtkWidget* column, WebKitWebView* view) {
  keys_view = view;
  find_bar = gtk_search_bar_new();
  find_entry = gtk_search_entry_new();
  gtk_entry_set_width_chars(GTK_ENTRY(find_entry), 32);
  gtk_container_add(GTK_CONTAINER(find_bar), find_entry);
  gtk_search_bar_connect_entry(GTK_SEARCH_BAR(find_bar), GTK_ENTRY(find_entry));
  gtk_search_bar_set_show_close_button(GTK_SEARCH_BAR(find_bar), TRUE);
  g_signal_connect(find_entry, "search-changed", G_CALLBACK(on_search_changed), nullptr);
  g_signal_connect(find_entry, "activate", G_CALLBACK(on_next_match), nullptr);
  g_signal_connect(find_entry, "next-match", G_CALLBACK(on_next_match), nullptr);
  g_signal_connect(find_entry, "previous-match", G_CALLBACK(on_previous_match), nullptr);
  g_signal_connect(find_bar, "notify::search-mode-enabled", G_CALLBACK(on_find_bar_toggled), nullptr);
  gtk_box_pack_start(GTK_BOX(column), find_bar, FALSE, FALSE, 0);
  gtk_widget_show_all(find_bar);
  key_handler = g_signal_connect(app_window, "key-press-event", G_CALLBACK(on_key_press), nullptr);
}

void detach_browser_keys() {
  if (key_handler && app_window) g_signal_handler_disconnect(app_window, key_handler);
  key_handler = 0;
  keys_view = nullptr;
  find_bar = nullptr;
  find_entry = nullptr;
}
