#include "cards/http_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>

#include "cards/card_api.h"
#include "pages/page_texts.h"

std::unique_ptr<httplib::Server> server;
void (*on_card_server_unreachable)() = nullptr;

namespace {
std::mutex server_mutex;       // guards server and the three values below
bool stop_pending = false;     // a stop came while no server was running
bool server_stopped = false;   // the current server has been stopped already
int bound_socket = -1;         // the listening socket of the server being set up
std::atomic<bool> unreachable{false};  // a server could not listen

// A card body is under 40 bytes; anything near this is not from a card page.
constexpr std::size_t CARD_PAYLOAD_LIMIT = 64 * 1024;
// The card pages make a few requests per phone; this library's default would close a
// connection after 5.
constexpr std::size_t KEEP_ALIVE_MAX_REQUESTS = 100;
// Seconds a connection may wait for its next request, and, in this library, also for its
// first one: with 0 a request whose bytes came more than about 10 ms after the connection
// was accepted was dropped unread. An idle kept-alive connection holds a pool thread all
// that time, and phone browsers keep theirs open after every answer, so the pool is made
// large enough for a room of phones submitting at the same moment.
constexpr time_t KEEP_ALIVE_IDLE_SECONDS = 1;
constexpr std::size_t POOL_THREADS = 512;
constexpr time_t READ_TIMEOUT_SECONDS = 5;
constexpr time_t WRITE_TIMEOUT_SECONDS = 5;

const char* const NOT_FOUND_BODY = R"({"error":"Not Found"})";

void serve_page(const std::string& page, httplib::Response& response) {
  response.set_content(page.c_str(), std::strlen(page.c_str()), "text/html");
}

// Address reuse only. The library's own default sets SO_REUSEPORT on Linux, which would let
// a second copy of the application bind the same port and share the phones between two
// contests; with SO_REUSEADDR alone its bind fails while this one listens.
void set_socket_options(int sock) {
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  bound_socket = sock;
}

// A Content-Length of digits only (nine at most: anything longer is past the limit anyway).
bool is_within_limit(const std::string& length) {
  if (length.empty() || length.size() > 9) return false;
  if (!std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  return std::stoul(length) <= CARD_PAYLOAD_LIMIT;
}

// The one body this server reads is a card request's, sent with its length and within the
// limit. The library reads a chunked body, or one without a length, whole into memory
// whatever its size, and a body past the limit to its end; so these are refused here, after
// the headers and before any of the body is read.
bool has_body_we_refuse(const httplib::Request& request) {
  if (request.has_header("Transfer-Encoding")) return true;
  switch (request.get_header_value_count("Content-Length")) {
    case 0:
      return request.method != "GET" && request.method != "HEAD" && request.method != "OPTIONS";
    case 1:
      return !is_within_limit(request.get_header_value("Content-Length"));
    default:
      return true;
  }
}

// Runs after the headers, before the body and the route.
httplib::Server::HandlerResponse screen_request(const httplib::Request& request, httplib::Response& response) {
  // No answer is ever sent in part: a Range header is ignored. The library cuts every answer
  // to the ranges it parsed, and offers no other way to turn that off; the request object is
  // the library's own, not a constant, so clearing them is safe.
  const_cast<httplib::Request&>(request).ranges.clear();
  if (!has_body_we_refuse(request)) return httplib::Server::HandlerResponse::Unhandled;
  response.status = 404;  // the error handler answers it and closes the connection
  return httplib::Server::HandlerResponse::Handled;
}

// Every answer of status 400 or more comes here. One that already has a body (the card
// API's time-out and internal error) stays as it is; any other becomes the JSON 404.
//
// The request behind such an answer may have left its body unread (ours above, or one the
// library refused before reading it), and the library would read those bytes as the next
// request. It closes a connection only when writing an answer fails, so the body is written
// by a provider that sends it whole and then reports a failure: the answer arrives complete
// and the connection is closed after it.
httplib::Server::HandlerResponse answer_error(const httplib::Request& request, httplib::Response& response) {
  if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
  response.status = 404;
  // Said once: the library says it too when the client asked to close.
  if (request.get_header_value("Connection") != "close") response.set_header("Connection", "close");
  const std::size_t length = std::strlen(NOT_FOUND_BODY);
  response.set_content_provider(length, "application/json",
                                [length](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                  sink.write(NOT_FOUND_BODY + offset, length - offset);
                                  return false;
                                });
  return httplib::Server::HandlerResponse::Handled;
}

void configure(httplib::Server& s) {
  s.set_read_timeout(READ_TIMEOUT_SECONDS, 0);
  s.set_write_timeout(WRITE_TIMEOUT_SECONDS, 0);
  s.set_keep_alive_max_count(KEEP_ALIVE_MAX_REQUESTS);
  s.set_keep_alive_timeout(KEEP_ALIVE_IDLE_SECONDS);
  // Headers and body go out as two writes: without this a kept-alive connection waits for
  // the phone's delayed acknowledgement before the body, some 40 ms or more per answer.
  s.set_tcp_nodelay(true);
  s.set_payload_max_length(CARD_PAYLOAD_LIMIT);
  s.set_socket_options(set_socket_options);
  s.new_task_queue = [] { return new httplib::ThreadPool(POOL_THREADS); };

  s.Get("/placing", [](const httplib::Request&, httplib::Response& res) { serve_page(placing_card_page, res); });
  s.Get("/reasons", [](const httplib::Request&, httplib::Response& res) { serve_page(reasons_card_page, res); });
  s.Get("/health", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"status":"ok"})", "application/json");
  });
  s.Post("/api/fetch_card_names", handle_fetch_card_names);
  s.Post("/api/fetch_card_names_and_placing", handle_fetch_card_names_and_placing);
  s.Post("/api/save_card_placing", handle_save_card_placing);
  s.Post("/api/save_card_reasons", handle_save_card_reasons);
  s.set_pre_routing_handler(screen_request);
  s.set_error_handler(httplib::Server::HandlerWithResponse(answer_error));
}
}  // namespace

void run_http_server(const std::string& host, int port) {
  // A phone that drops its connection mid-answer must not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  httplib::Server* running = nullptr;
  {
    std::lock_guard<std::mutex> lock(server_mutex);
    if (stop_pending) {  // shut-down began before the server did
      stop_pending = false;
      return;
    }
    auto created = std::make_unique<httplib::Server>();
    configure(*created);
    bound_socket = -1;
    if (created->bind_to_port(host.c_str(), port)) {
      // This library listens with a backlog of 5: a burst of phones connecting at once would
      // overflow it, and the kernel would then reset connections that already sent a request.
      if (bound_socket >= 0) listen(bound_socket, SOMAXCONN);
      server = std::move(created);
      server_stopped = false;
      running = server.get();
    }
  }
  // The port is held elsewhere: the system goes on without a card server, and says so.
  if (!running) {
    unreachable = true;
    if (on_card_server_unreachable) on_card_server_unreachable();
    return;
  }
  // Blocks until stopped; then waits for the requests still running.
  running->listen_after_bind();
  std::lock_guard<std::mutex> lock(server_mutex);
  server.reset();
  stop_pending = false;
}

void http_server_func() { run_http_server("0.0.0.0", CARD_SERVER_PORT); }

bool card_server_unreachable() { return unreachable; }

void stop_http_server() {
  std::unique_lock<std::mutex> lock(server_mutex);
  while (server && !server_stopped) {
    if (server->is_running()) {
      server->stop();
      server_stopped = true;
      return;
    }
    // Bound but not listening yet, and the library ignores a stop until it listens. The
    // server thread begins listening right after binding, so wait for that briefly.
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lock.lock();
  }
  if (!server) stop_pending = true;
}
