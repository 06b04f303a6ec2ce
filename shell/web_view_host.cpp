#include "shell/web_view_host.h"

#include "shell/message_bridge.h"
#include "shell/shell_globals.h"

void start_web_view(const std::u16string& page) {
  WebView* view = platform_layer.create_web_view(main_window, on_web_message_received, on_web_message_unreadable);
  if (!view) return;
  webview = view;
  platform_layer.load_html(view, page);
}

void on_main_window_destroyed() {
  // The server goes first so no card request starts while the rest comes down.
  if (stop_card_server) stop_card_server();
  if (webview) {
    WebView* view = webview;
    webview = nullptr;
    platform_layer.clear_browsing_data(view);
    platform_layer.close_web_view(view);
  }
  platform_layer.post_quit(0);
}
