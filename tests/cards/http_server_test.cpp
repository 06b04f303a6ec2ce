// The card server's routes, error answers and life cycle, over real HTTP on loopback.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <random>
#include <thread>

#include "pages/page_texts.h"
#include "tests/cards/card_server_fixture.h"

namespace {
using namespace std::chrono_literals;

const std::string NOT_FOUND = R"({"error":"Not Found"})";

std::future<void> run_server_async(int port) {
  return std::async(std::launch::async, [port] { run_http_server("127.0.0.1", port); });
}

// Sends the bytes on a new connection, as a hostile client would, and reads what comes back
// until the server closes the connection or `wait` passes without a byte.
struct RawAnswer {
  std::string text;
  bool closed = false;
};

RawAnswer raw_exchange(int port, const std::string& request, std::chrono::milliseconds wait = 3s) {
  RawAnswer answer;
  const int sock = connect_to_loopback(port);
  timeval timeout{static_cast<time_t>(wait.count() / 1000), static_cast<suseconds_t>(wait.count() % 1000 * 1000)};
  setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  if (send(sock, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = recv(sock, buffer, sizeof buffer, 0);
      if (n > 0) {
        answer.text.append(buffer, static_cast<std::size_t>(n));
        continue;
      }
      // A reset counts as closed: the server closed with the refused body still unread.
      answer.closed = n == 0 || errno == ECONNRESET;
      break;
    }
  }
  close(sock);
  return answer;
}

class CardServerRoutes : public CardServerSuite {
 protected:
  // After a hostile request: the health check and a real save are answered at once.
  void expect_still_serving(const std::string& after) {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(1, 0);
    const auto health = c.Get("/health");
    ASSERT_TRUE(health) << after;
    EXPECT_EQ(health->status, 200) << after;
    const auto saved = c.Post("/api/save_card_placing", join_fields({"1012", "4", "2143"}), "text/plain");
    ASSERT_TRUE(saved) << after;
    EXPECT_EQ(saved->body, "true") << after;
    query("DELETE FROM placings WHERE contestant_no = 1012");  // a card saves a placing once
  }
};

TEST_F(CardServerRoutes, HealthAnswersOkAsJson) {
  const auto answer = client().Get("/health");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->body, R"({"status":"ok"})");
  EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
}

TEST_F(CardServerRoutes, CardPagesAreServedWholeWithOrWithoutAQuery) {
  const std::pair<const char*, const std::string*> pages[] = {
      {"/placing", &placing_card_page}, {"/placing?from=qr", &placing_card_page}, {"/reasons", &reasons_card_page}};
  for (const auto& [path, page] : pages) {
    const auto answer = client().Get(path);
    ASSERT_TRUE(answer) << path;
    EXPECT_EQ(answer->status, 200) << path;
    EXPECT_EQ(answer->get_header_value("Content-Type"), "text/html") << path;
    EXPECT_EQ(answer->body, *page) << path;
  }
  EXPECT_NE(placing_card_page, reasons_card_page);
}

TEST_F(CardServerRoutes, AnyOtherPathOrMethodAnswersNotFoundAsJson) {
  auto c = client();
  const httplib::Result answers[] = {
      c.Get("/nothing"), c.Get("/placing/"), c.Get("/api"), c.Get("/api/save_card_placing"),
      c.Post("/placing", "1", "text/plain"), c.Post("/health", "", "text/plain"),
      c.Delete("/api/save_card_placing"), c.Put("/reasons", "x", "text/plain")};
  for (const auto& answer : answers) {
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 404);
    EXPECT_EQ(answer->body, NOT_FOUND);
    EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
  }
}

// A card body is a few bytes; a huge one never reaches the worker, and the server goes on.
TEST_F(CardServerRoutes, AnOversizedBodyIsRefusedAndTheServerGoesOn) {
  static std::atomic<int> runs{0};
  runs = 0;
  register_function("save_card_placing", [](const std::string&) {
    ++runs;
    return std::string("true");
  });
  const auto answer = client().Post("/api/save_card_placing", std::string(200 * 1024, '1'), "text/plain");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 404);
  EXPECT_EQ(answer->body, NOT_FOUND);
  EXPECT_EQ(runs, 0);

  const auto normal = client().Post("/api/save_card_placing", "1", "text/plain");
  ASSERT_TRUE(normal);
  EXPECT_EQ(normal->body, "true");
  EXPECT_EQ(runs, 1);
}

// Only a body sent with a length within the limit is read. Any other is answered before a
// byte of it is read, and its connection closed, however much the client goes on sending.
TEST_F(CardServerRoutes, ABodyOfAnyOtherFramingIsRefusedUnreadAndItsConnectionClosed) {
  open_test_contest();
  const std::string head = "POST /api/save_card_placing HTTP/1.1\r\nHost: phone\r\n";
  const std::string placing = join_fields({"1011", "3", "1234"});
  const std::string requests[] = {
      head + "Transfer-Encoding: chunked\r\n\r\n400\r\n" + std::string(1024, '1') + "\r\n",
      head + "Transfer-Encoding: chunked\r\n\r\n",
      head + "Connection: close\r\n\r\n" + placing,
      head + "Content-Length: 104857600\r\n\r\n" + placing,
      head + "Content-Length: 12abc\r\n\r\n" + placing,
  };
  for (const std::string& request : requests) {
    const std::string shown = request.substr(head.size(), 40);
    const RawAnswer answer = raw_exchange(port, request);
    EXPECT_EQ(answer.text.rfind("HTTP/1.1 404", 0), 0u) << shown << "\n" << answer.text;
    EXPECT_NE(answer.text.find("\r\n\r\n" + NOT_FOUND), std::string::npos) << shown << "\n" << answer.text;
    EXPECT_TRUE(answer.closed) << shown;
    expect_still_serving(shown);
  }
  // None of the refused bodies reached the contest.
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings WHERE contestant_no = 1011"), "0");
  close_test_contest();
}

// A Range header never cuts an answer short, on a card route or on a page; one the library
// cannot read is refused with the usual error.
TEST_F(CardServerRoutes, ARangeHeaderNeverCutsAnAnswer) {
  open_test_contest();
  auto c = client();
  for (const char* range : {"bytes=0-1", "bytes=99999-", "bytes=0-1,4-5"}) {
    const httplib::Headers headers = {{"Range", range}};
    const auto names = c.Post("/api/fetch_card_names", headers, join_fields({"1011", "3"}), "text/plain");
    ASSERT_TRUE(names) << range;
    EXPECT_EQ(names->status, 200) << range;
    EXPECT_EQ(names->body, join_fields({"Ann", "Cows"})) << range;
    const auto saved = c.Post("/api/save_card_placing", headers, join_fields({"1011", "3", "1234"}), "text/plain");
    ASSERT_TRUE(saved) << range;
    EXPECT_EQ(saved->status, 200) << range;
    EXPECT_EQ(saved->body, "true") << range;
    query("DELETE FROM placings");
    const auto page = c.Get("/placing", headers);
    ASSERT_TRUE(page) << range;
    EXPECT_EQ(page->status, 200) << range;
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html") << range;
    EXPECT_FALSE(page->has_header("Content-Range")) << range;
    EXPECT_EQ(page->body, placing_card_page) << range;
    expect_still_serving(range);
  }
  const auto unreadable = c.Get("/reasons", {{"Range", "bytes=x"}});
  ASSERT_TRUE(unreadable);
  EXPECT_EQ(unreadable->status, 404);
  EXPECT_EQ(unreadable->body, NOT_FOUND);
  EXPECT_EQ(unreadable->get_header_value("Content-Type"), "application/json");
  expect_still_serving("bytes=x");
  close_test_contest();
}

// A phone on a slow network may send its request a while after the connection is made; the
// server must wait for it rather than drop the connection unread.
TEST_F(CardServerRoutes, ARequestSentWellAfterItsConnectionIsStillAnswered) {
  const int sock = connect_to_loopback(port);
  ASSERT_GE(sock, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string request = "GET /health HTTP/1.1\r\nHost: phone\r\nConnection: close\r\n\r\n";
  ASSERT_EQ(send(sock, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
  std::string answer;
  char buffer[512];
  for (ssize_t n; (n = recv(sock, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
  close(sock);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
  EXPECT_NE(answer.find(R"({"status":"ok"})"), std::string::npos);
}

// A hundred requests, one after another on one connection, are all answered on it; then the
// server closes it.
TEST_F(CardServerRoutes, AConnectionIsKeptForAHundredRequests) {
  const int sock = connect_to_loopback(port);
  ASSERT_GE(sock, 0);
  timeval timeout{3, 0};
  setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  const std::string request = "GET /health HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string answer_body = R"({"status":"ok"})";
  std::string received;
  char buffer[4096];
  int answered = 0;
  for (; answered < 100; ++answered) {
    if (send(sock, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) break;
    // One whole answer: its headers and the body they announce.
    received.clear();
    while (received.find("\r\n\r\n" + answer_body) == std::string::npos) {
      const ssize_t n = recv(sock, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      received.append(buffer, static_cast<std::size_t>(n));
    }
    if (received.rfind("HTTP/1.1 200 OK", 0) != 0 || received.find(answer_body) == std::string::npos) break;
  }
  EXPECT_EQ(answered, 100) << received;
  EXPECT_NE(received.find("Connection: close"), std::string::npos) << received;
  EXPECT_EQ(recv(sock, buffer, sizeof buffer, 0), 0);
  close(sock);
}

TEST(CardServerLifecycle, AStopBeforeTheServerStartsKeepsItFromListening) {
  const int port = free_loopback_port();
  stop_http_server();
  auto run = run_server_async(port);
  ASSERT_EQ(run.wait_for(5s), std::future_status::ready);
  EXPECT_FALSE(answers_health(port));
  EXPECT_EQ(server, nullptr);
}

// Whenever the stop lands (before the run, between binding and listening, or while
// listening), the server thread ends.
TEST(CardServerLifecycle, AStopAtAnyMomentAfterStartingEndsTheServer) {
  std::mt19937 random(12345);
  const int port = free_loopback_port();
  for (int round = 0; round < 200; ++round) {
    auto run = run_server_async(port);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    stop_http_server();
    ASSERT_EQ(run.wait_for(5s), std::future_status::ready) << "round " << round;
    EXPECT_EQ(server, nullptr);
  }
  // Each stop was used up by its own run: the next run listens until it is stopped, and
  // a second stop while it drains does nothing more.
  auto run = run_server_async(port);
  EXPECT_TRUE(comes_up(port));
  stop_http_server();
  stop_http_server();
  ASSERT_EQ(run.wait_for(5s), std::future_status::ready);
  EXPECT_FALSE(answers_health(port));
}

// A second copy of the application must not share the port and split the phones.
TEST(CardServerLifecycle, ASecondServerCannotTakeThePort) {
  start_worker();
  const int port = start_card_server();
  httplib::Server* first = server.get();
  auto second = run_server_async(port);
  ASSERT_EQ(second.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(server.get(), first);
  EXPECT_TRUE(answers_health(port));
  stop_card_server();
  stop_worker();
}

TEST(CardServerLifecycle, APortHeldElsewhereEndsTheRunAtOnce) {
  int port = 0;
  const int holder = bound_loopback_socket(port);
  ASSERT_NE(port, 0);
  ASSERT_EQ(listen(holder, 5), 0);
  auto run = run_server_async(port);
  EXPECT_EQ(run.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(server, nullptr);
  close(holder);
}

TEST(CardServerLifecycle, StoppingLetsAWaitingCardRequestFinish) {
  start_worker();
  const int port = start_card_server();
  register_function("save_card_placing", [](const std::string&) { return std::string("true"); });
  hold_worker();
  auto request = std::async(std::launch::async, [port] {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(15, 0);
    return c.Post("/api/save_card_placing", "1", "text/plain");
  });
  for (int wait = 0; wait < 200 && pending_count() == 0; ++wait) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(pending_count(), 1u);

  auto stopped = std::async(std::launch::async, [] { stop_card_server(); });
  EXPECT_EQ(stopped.wait_for(300ms), std::future_status::timeout) << "ended while a request waited";
  release_worker();
  const auto answer = request.get();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->body, "true");
  EXPECT_EQ(stopped.wait_for(10s), std::future_status::ready);
  stop_worker();
}
}  // namespace
