#include "shell/message_bridge.h"

#include <memory>
#include <new>

#include "dispatch/command_queue.h"
#include "shell/shell_globals.h"
#include "shell/text_conversion.h"

void on_web_message_received(const std::u16string& message) {
  auto [id, payload] = split_first_colon(utf16_to_utf8(message));
  push_command(CommandItem{std::move(id), std::move(payload), false});
}

bool post_reply_to_window(std::string* reply) {
  return platform_layer.post_reply(main_window, reply);
}

void on_command_result(std::string* reply) {
  if (!reply) return;
  std::u16string text;
  {
    const std::unique_ptr<std::string> owned(reply);
    try {
      text = utf8_to_utf16(*owned);
    } catch (const std::bad_alloc&) {
      return;  // no memory to convert it: the reply is dropped
    }
  }
  if (webview) platform_layer.post_to_page(webview, text);
}
