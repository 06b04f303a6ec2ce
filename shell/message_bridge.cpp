#include "shell/message_bridge.h"

#include "dispatch/command_queue.h"
#include "shell/text_conversion.h"

void on_web_message_received(const std::u16string& message) {
  auto [id, payload] = split_first_colon(utf16_to_utf8(message));
  push_command(CommandItem{std::move(id), std::move(payload), false});
}
