#include "shell/shell_globals.h"

#include "cards/http_server.h"

// Defined in the order they are built; destroyed in reverse after the threads were joined.
PlatformLayer platform_layer;
MainWindow* main_window = nullptr;
WebView* webview = nullptr;
std::thread worker_thread;
std::thread server_thread;
void (*card_server_body)() = http_server_func;
void (*stop_card_server)() = stop_http_server;
