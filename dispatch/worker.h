#pragma once
#include <string>

// Hands an id:result reply to the UI thread, in order. Answers false when the window is
// gone; the caller then still owns the text and frees it. Set before the worker starts.
extern bool (*post_command_result)(std::string* reply);

// The worker thread's body: runs queued commands one at a time until the stop flag is set,
// then the page's saves and deletes still queued at that moment, and ends. Other commands
// still queued are never run.
void command_worker_func();

// Runs one payload (name:args) through the function table; never raises.
std::string run_payload(const std::string& payload);
