// The WebKitGTK view that shows the page, and the page's window.chrome.webview.
#include "shell/js_string_literal.h"
#include "shell/platform/gtk_internal.h"
#include "shell/text_conversion.h"

namespace {
// Runs before any script of the page: postMessage hands a text to the host, and the host's
// texts arrive as "message" events whose data is the text.
constexpr const char* PAGE_BRIDGE_SCRIPT = R"JS(
(() => {
  const channel = window.webkit.messageHandlers.tallywell;
  const webview = new EventTarget();
  webview.postMessage = (message) => channel.postMessage(message);
  window.chrome = window.chrome || {};
  window.chrome.webview = webview;
})();
)JS";
constexpr const char* MESSAGE_CHANNEL = "tallywell";

WebKitWebContext* web_context = nullptr;
WebKitUserContentManager* content_manager = nullptr;
void (*message_sink)(const std::u16string&) = nullptr;
void (*unreadable_sink)(const char*, std::size_t) = nullptr;
bool page_load_pending = false;

void on_script_message(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer) {
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!message_sink || !jsc_value_is_string(value)) return;  // the page posts only strings
  // As bytes: the plain string getter stops at an embedded NUL.
  GBytes* bytes = jsc_value_to_string_as_bytes(value);
  gsize size = 0;
  const char* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  try {
    const std::u16string message = utf8_to_utf16(std::string(data ? data : "", size));
    message_sink(message);
  } catch (...) {
    // No memory for the text: the shell still answers the request, from its first bytes.
    unreadable_sink(data ? data : "", size);
  }
  g_bytes_unref(bytes);
}

// The view shows the page it was given and nothing else: a reload, a link, a dropped file or
// a script's navigation would throw away the page's record of the open contest.
gboolean on_decide_policy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer) {
  switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
      if (page_load_pending) {
        page_load_pending = false;
        webkit_policy_decision_use(decision);
      } else {
        webkit_policy_decision_ignore(decision);
      }
      return TRUE;
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
      webkit_policy_decision_ignore(decision);
      return TRUE;
    default:
      return FALSE;
  }
}

bool leads_away(WebKitContextMenuAction action) {
  switch (action) {
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK:
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW:
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK:
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_IMAGE_IN_NEW_WINDOW:
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK:
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_FRAME_IN_NEW_WINDOW:
    case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK:
    case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD:
    case WEBKIT_CONTEXT_MENU_ACTION_STOP:
    case WEBKIT_CONTEXT_MENU_ACTION_RELOAD:
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_VIDEO_IN_NEW_WINDOW:
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_AUDIO_IN_NEW_WINDOW:
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_VIDEO_TO_DISK:
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_AUDIO_TO_DISK:
    case WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT:
      return true;
    default:
      return false;
  }
}

void on_print_activated(GSimpleAction*, GVariant*, gpointer view) { print_page(WEBKIT_WEB_VIEW(view)); }

const char* const APP_TITLE = "Tallywell Lite";

// The page's message boxes: titled with the program's name, not the web view's
// "JavaScript - about:blank". Shown without waiting, so the close of the main window can
// take them down; the page's script waits until the box is gone.
void on_alert_box_hidden(GtkWidget* box, gpointer data) {
  auto* dialog = static_cast<WebKitScriptDialog*>(data);
  g_signal_handlers_disconnect_by_func(box, reinterpret_cast<gpointer>(on_alert_box_hidden), data);
  webkit_script_dialog_close(dialog);
  webkit_script_dialog_unref(dialog);
  // Not while the box is being hidden.
  g_idle_add(
      [](gpointer data) -> gboolean {
        gtk_widget_destroy(GTK_WIDGET(data));
        g_object_unref(data);
        return G_SOURCE_REMOVE;
      },
      g_object_ref(box));
}

void on_alert_box_response(GtkDialog* box, gint, gpointer) { gtk_widget_hide(GTK_WIDGET(box)); }

gboolean on_script_dialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer) {
  if (webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_ALERT) return FALSE;
  GtkWidget* box = new_message_box(webkit_script_dialog_get_message(dialog), APP_TITLE);
  webkit_script_dialog_ref(dialog);
  g_signal_connect(box, "response", G_CALLBACK(on_alert_box_response), nullptr);
  g_signal_connect(box, "hide", G_CALLBACK(on_alert_box_hidden), dialog);
  gtk_widget_show(box);
  return TRUE;
}

// The page's process ended on its own (a crash, or the system short of memory): the page is
// gone with everything it showed, but every change is in the contest file. Saying so, the
// program ends in its usual order, to be started again.
const char* const PAGE_ENDED_MESSAGE =
    "The page of Tallywell Lite stopped working. Everything entered so far is saved in the contest file. "
    "Tallywell Lite will now close: start it again and open the contest to go on.";

void on_web_process_terminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer) {
  if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API || !app_window) return;
  close_message_boxes();
  gtk_message_box(PAGE_ENDED_MESSAGE, APP_TITLE);
  if (app_window) gtk_window_close(GTK_WINDOW(app_window));
}

// The menu keeps its editing entries, loses every way off the page, and ends with Print.
gboolean on_context_menu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer) {
  GList* items = g_list_copy(webkit_context_menu_get_items(menu));
  for (GList* it = items; it; it = it->next) {
    auto* item = static_cast<WebKitContextMenuItem*>(it->data);
    if (leads_away(webkit_context_menu_item_get_stock_action(item))) webkit_context_menu_remove(menu, item);
  }
  g_list_free(items);
  // Drop a separator left at the top or bottom by the removals.
  while (GList* first = webkit_context_menu_get_items(menu)) {
    auto* item = static_cast<WebKitContextMenuItem*>(first->data);
    if (!webkit_context_menu_item_is_separator(item)) break;
    webkit_context_menu_remove(menu, item);
  }
  while (GList* last = g_list_last(webkit_context_menu_get_items(menu))) {
    auto* item = static_cast<WebKitContextMenuItem*>(last->data);
    if (!webkit_context_menu_item_is_separator(item)) break;
    webkit_context_menu_remove(menu, item);
  }
  if (webkit_context_menu_get_n_items(menu) > 0) webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  GSimpleAction* print = g_simple_action_new("print", nullptr);
  g_signal_connect(print, "activate", G_CALLBACK(on_print_activated), view);
  webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(G_ACTION(print), "_Print…", nullptr));
  g_object_unref(print);
  return FALSE;
}
}  // namespace

WebView* gtk_create_web_view(MainWindow* window, void (*on_message)(const std::u16string&),
                             void (*on_unreadable)(const char*, std::size_t)) {
  GtkWidget* gtk_window = reinterpret_cast<GtkWidget*>(window);
  if (!gtk_window || gtk_window != app_window || web_context) return nullptr;
  // Ephemeral: nothing of the page (storage, cache, cookies) is ever written to disk.
  web_context = webkit_web_context_new_ephemeral();
  content_manager = webkit_user_content_manager_new();
  message_sink = on_message;
  unreadable_sink = on_unreadable;
  WebKitUserScript* script =
      webkit_user_script_new(PAGE_BRIDGE_SCRIPT, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(content_manager, script);
  webkit_user_script_unref(script);
  // Connected before registering, so no early message can slip past.
  const std::string signal = std::string("script-message-received::") + MESSAGE_CHANNEL;
  g_signal_connect(content_manager, signal.c_str(), G_CALLBACK(on_script_message), nullptr);
  if (!webkit_user_content_manager_register_script_message_handler(content_manager, MESSAGE_CHANNEL)) {
    g_clear_object(&content_manager);
    g_clear_object(&web_context);
    return nullptr;
  }
  GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", web_context,
                                            "user-content-manager", content_manager, nullptr));
  g_signal_connect(view, "decide-policy", G_CALLBACK(on_decide_policy), nullptr);
  g_signal_connect(view, "context-menu", G_CALLBACK(on_context_menu), nullptr);
  g_signal_connect(view, "script-dialog", G_CALLBACK(on_script_dialog), nullptr);
  g_signal_connect(view, "web-process-terminated", G_CALLBACK(on_web_process_terminated), nullptr);
  gtk_box_pack_end(GTK_BOX(app_column), view, TRUE, TRUE, 0);
  attach_browser_keys(app_column, WEBKIT_WEB_VIEW(view));
  gtk_widget_show(view);
  gtk_widget_grab_focus(view);
  return reinterpret_cast<WebView*>(view);
}

void gtk_load_html(WebView* view, const std::u16string& html) {
  page_load_pending = true;
  webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), utf16_to_utf8(html).c_str(), nullptr);
}

void gtk_post_to_page(WebView* view, const std::u16string& text) {
  // The text travels as an escaped literal: nothing in it can ever run as script.
  const std::string script = "window.chrome.webview.dispatchEvent(new MessageEvent(\"message\", {data: " +
                             js_string_literal(utf16_to_utf8(text)) + "}));";
  webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(view), script.data(), static_cast<gssize>(script.size()),
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
}

void gtk_clear_browsing_data(WebView* view) {
  WebKitWebsiteDataManager* manager = webkit_web_view_get_website_data_manager(WEBKIT_WEB_VIEW(view));
  if (manager) webkit_website_data_manager_clear(manager, WEBKIT_WEBSITE_DATA_ALL, 0, nullptr, nullptr, nullptr);
}

void gtk_close_web_view(WebView* view) {
  detach_browser_keys();
  gtk_widget_destroy(reinterpret_cast<GtkWidget*>(view));
  message_sink = nullptr;
  unreadable_sink = nullptr;
  g_clear_object(&content_manager);
  g_clear_object(&web_context);
}
