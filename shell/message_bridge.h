#pragma once
// The page side of the host: messages in from the page, replies out to it.
#include <cstddef>
#include <string>

// A message posted by the page, id:name:args: split off the id at the first colon and
// queue the rest for the worker. One that cannot be queued (no memory for it) is answered
// at once with an error under its id; nothing here ever throws.
void on_web_message_received(const std::u16string& message);

// A message the view had no memory to hand over whole: answered with the same error, under
// the id at the start of its UTF-8 bytes.
void on_web_message_unreadable(const char* utf8, std::size_t size);

// Worker thread: hands an id:result reply to the main window. False once the window is
// gone; the worker then frees the text.
bool post_reply_to_window(std::string* reply);

// UI thread: a reply handed over by post_reply_to_window, owned from here on. Converted,
// freed, and posted to the page; dropped when there is no page to take it.
void on_command_result(std::string* reply);
