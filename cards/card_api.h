#pragma once
// The card API: each card request is queued to the worker under its own id and waits
// for the worker's answer, at most CARD_REQUEST_TIMEOUT.
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

// One card request waiting for the worker.
struct PendingRequest {
  std::string id;
  httplib::Response* response = nullptr;  // not owned; valid only while its handler waits
  std::promise<int> promise;              // fulfilled once the response has been written
};

// Requests whose handlers wait, by id. Every access, and every write through a record's
// response, holds pending_mutex.
extern std::unordered_map<std::string, std::unique_ptr<PendingRequest>> pending_requests;
extern std::mutex pending_mutex;

constexpr std::chrono::seconds CARD_REQUEST_TIMEOUT{10};

// "http_" and a number drawn uniformly from 100000 to 999999.
std::string make_request_id();

// Hands the worker's result to the card request waiting under this id; a request that
// has already timed out is gone, and the result is dropped.
void complete_pending_request(const std::string& id, const std::string& result);

// The four POST routes; each queues "<operation>:<body>" and answers the result as text.
void handle_fetch_card_names(const httplib::Request& request, httplib::Response& response);
void handle_fetch_card_names_and_placing(const httplib::Request& request, httplib::Response& response);
void handle_save_card_placing(const httplib::Request& request, httplib::Response& response);
void handle_save_card_reasons(const httplib::Request& request, httplib::Response& response);

// Where the handlers queue each request for the worker, as (id, "<operation>:<body>"): set at
// start-up (initialize_functions) to the command queue's push_card_command, so the card
// server needs nothing of the dispatch. Unset, a card request answers the internal error.
extern void (*queue_card_command)(std::string id, std::string payload);
