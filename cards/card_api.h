#pragma once
#include <string>

// Hands the worker's result to the card request waiting under this id; a request that
// has already timed out is gone, and the result is dropped.
void complete_pending_request(const std::string& id, const std::string& result);
