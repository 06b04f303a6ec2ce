#pragma once
// The page side of the host: messages in from the page, replies out to it.
#include <string>

// A message posted by the page, id:name:args: split off the id at the first colon and
// queue the rest for the worker.
void on_web_message_received(const std::u16string& message);
