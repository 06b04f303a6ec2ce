#include "cards/card_api.h"

#include <httplib.h>

#include <exception>
#include <random>
#include <stdexcept>

std::unordered_map<std::string, std::unique_ptr<PendingRequest>> pending_requests;
std::mutex pending_mutex;
void (*queue_card_command)(std::string id, std::string payload) = nullptr;

namespace {
const char* const TIMEOUT_BODY = R"({"error":"Request timeout"})";
const char* const INTERNAL_ERROR_BODY = R"({"error":"Internal server error"})";

void handle_card_request(const char* operation, const httplib::Request& request,
                         httplib::Response& response) {
  std::string id;
  bool filed = false;
  try {
    std::string payload = std::string(operation) + ":" + request.body;
    auto record = std::make_unique<PendingRequest>();
    record->response = &response;
    // Taken before filing, so the wait never depends on the record's lifetime.
    std::future<int> answered = record->promise.get_future();
    {
      std::lock_guard<std::mutex> lock(pending_mutex);
      // An id that is still pending is drawn again: two phones never get each other's answer.
      do {
        id = make_request_id();
      } while (pending_requests.count(id) != 0);
      record->id = id;
      pending_requests.emplace(id, std::move(record));
      filed = true;
    }
    // Filed before queued, so the worker always finds the record.
    if (!queue_card_command) throw std::runtime_error("no command queue");
    queue_card_command(id, std::move(payload));

    if (answered.wait_for(CARD_REQUEST_TIMEOUT) == std::future_status::ready) return;
    {
      std::lock_guard<std::mutex> lock(pending_mutex);
      // Gone already: the worker answered between the end of the wait and this lock.
      if (pending_requests.erase(id) == 0) return;
    }
    response.status = 408;
    response.set_content(TIMEOUT_BODY, "application/json");
  } catch (const std::exception&) {
    if (filed) {
      std::lock_guard<std::mutex> lock(pending_mutex);
      // The worker's answer stands if it already wrote one.
      if (pending_requests.erase(id) == 0) return;
    }
    response.status = 500;
    response.set_content(INTERNAL_ERROR_BODY, "application/json");
  }
}
}  // namespace

std::string make_request_id() {
  static std::mutex engine_mutex;
  static std::mt19937 request_id_engine{std::random_device{}()};
  static std::uniform_int_distribution<int> request_id_distribution{100000, 999999};
  std::lock_guard<std::mutex> lock(engine_mutex);
  return "http_" + std::to_string(request_id_distribution(request_id_engine));
}

void complete_pending_request(const std::string& id, const std::string& result) {
  std::lock_guard<std::mutex> lock(pending_mutex);
  const auto entry = pending_requests.find(id);
  if (entry == pending_requests.end()) return;  // timed out: the result is dropped
  PendingRequest& record = *entry->second;
  record.response->status = 200;
  record.response->set_content(result, "text/plain");
  record.promise.set_value(1);  // after the write, so the handler sees it
  pending_requests.erase(entry);
}

void handle_fetch_card_names(const httplib::Request& request, httplib::Response& response) {
  handle_card_request("fetch_card_names", request, response);
}

void handle_fetch_card_names_and_placing(const httplib::Request& request, httplib::Response& response) {
  handle_card_request("fetch_card_names_and_placing", request, response);
}

void handle_save_card_placing(const httplib::Request& request, httplib::Response& response) {
  handle_card_request("save_card_placing", request, response);
}

void handle_save_card_reasons(const httplib::Request& request, httplib::Response& response) {
  handle_card_request("save_card_reasons", request, response);
}
