#include "shell/message_bridge.h"

#include <string.h>

#include <algorithm>
#include <memory>
#include <new>

#include "dispatch/command_queue.h"
#include "dispatch/worker.h"
#include "shell/shell_globals.h"
#include "shell/text_conversion.h"

namespace {
const char* const UNTAKEN_REQUEST = ":ERROR:The request could not be taken; it may be too large for the memory left.";
// The page's ids are short counters: the first bytes of a message hold its id whole.
constexpr std::size_t ID_SEARCH_LIMIT = 64;

// The intake runs on the UI thread, which must outlive any one request: the answer is made
// from the id alone and goes the way the worker's replies go; if even that fails, the
// request stays unanswered.
void answer_untaken(const std::string& head) noexcept {
  try {
    auto reply = std::make_unique<std::string>(head.substr(0, head.find(':')) + UNTAKEN_REQUEST);
    if (post_command_result && post_command_result(reply.get())) reply.release();
  } catch (...) {
  }
}
}  // namespace

void on_web_message_received(const std::u16string& message) {
  try {
    auto [id, payload] = split_first_colon(utf16_to_utf8(message));
    push_command(CommandItem{std::move(id), std::move(payload), false});
  } catch (...) {
    try {
      answer_untaken(utf16_to_utf8(message.substr(0, ID_SEARCH_LIMIT)));
    } catch (...) {
    }
  }
}

void on_web_message_unreadable(const char* utf8, std::size_t size) {
  try {
    // Read as the whole text would be: up to an embedded NUL.
    answer_untaken(std::string(utf8, strnlen(utf8, std::min(size, ID_SEARCH_LIMIT))));
  } catch (...) {
  }
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
