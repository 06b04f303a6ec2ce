// The card API over real HTTP on loopback: every answer, the pending table, the time-out.
#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "cards/card_api.h"
#include "tests/cards/card_server_fixture.h"

namespace {
const char* const CARD_ROUTES[][2] = {
    {"/api/fetch_card_names", "fetch_card_names"},
    {"/api/fetch_card_names_and_placing", "fetch_card_names_and_placing"},
    {"/api/save_card_placing", "save_card_placing"},
    {"/api/save_card_reasons", "save_card_reasons"},
};

class CardApi : public CardServerSuite {
 protected:
  void TearDown() override {
    queue_card_command = push_card_command;
    EXPECT_EQ(pending_count(), 0u) << "a request left its record behind";
  }

  httplib::Result post(const std::string& path, const std::string& body) {
    return client().Post(path.c_str(), body, "text/plain");
  }
};

TEST_F(CardApi, EachRouteRunsItsOperationOnTheBodyUnchanged) {
  for (const auto& route : CARD_ROUTES) {
    const std::string name = route[1];
    register_function(name, [name](const std::string& args) { return name + "(" + args + ")"; });
  }
  // Colons and separators in the body reach the operation whole; an empty body is an empty argument.
  const std::string bodies[] = {"", join_fields({"1011", "3:x", "a:b"}), std::string("\0\x1F\xFF", 3)};
  for (const auto& route : CARD_ROUTES) {
    for (const std::string& body : bodies) {
      const auto answer = post(route[0], body);
      ASSERT_TRUE(answer) << route[0];
      EXPECT_EQ(answer->status, 200);
      EXPECT_EQ(answer->get_header_value("Content-Type"), "text/plain");
      EXPECT_EQ(answer->body, std::string(route[1]) + "(" + body + ")");
    }
  }
}

TEST_F(CardApi, ResultsAreAnsweredExactlyEvenWhenEmpty) {
  for (const std::string result : {"true", "false", "", "ERROR:A contest is not open."}) {
    register_function("save_card_placing", [result](const std::string&) { return result; });
    const auto answer = post("/api/save_card_placing", "1");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->get_header_value("Content-Type"), "text/plain");
    EXPECT_EQ(answer->body, result);
  }
}

TEST_F(CardApi, ConcurrentRequestsEachGetTheirOwnAnswer) {
  register_function("fetch_card_names", [](const std::string& args) { return "answer to " + args; });
  std::atomic<int> wrong{0}, failed{0};
  std::vector<std::thread> phones;
  for (int phone = 0; phone < 32; ++phone) {
    phones.emplace_back([&, phone] {
      for (int i = 0; i < 10; ++i) {
        const std::string body = std::to_string(phone) + "/" + std::to_string(i);
        const auto answer = post("/api/fetch_card_names", body);
        if (!answer || answer->status != 200) ++failed;
        else if (answer->body != "answer to " + body) ++wrong;
      }
    });
  }
  for (auto& t : phones) t.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(wrong, 0);
}

// With a third of all ids pending, a request that kept a drawn id already in use would
// replace that record; every request must instead get a free id and its own answer.
TEST_F(CardApi, AnIdStillPendingIsNeverReused) {
  register_function("fetch_card_names", [](const std::string& args) { return "answer to " + args; });
  constexpr int occupied = 300000;
  httplib::Response untouched;  // what the occupied records point at; nothing may write it
  {
    std::lock_guard<std::mutex> lock(pending_mutex);
    for (int n = 100000; n < 100000 + occupied; ++n) {
      auto record = std::make_unique<PendingRequest>();
      record->id = "http_" + std::to_string(n);
      record->response = &untouched;
      pending_requests.emplace(record->id, std::move(record));
    }
  }
  for (int i = 0; i < 40; ++i) {
    const auto answer = post("/api/fetch_card_names", std::to_string(i));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->body, "answer to " + std::to_string(i));
  }
  std::lock_guard<std::mutex> lock(pending_mutex);
  EXPECT_TRUE(untouched.body.empty());
  EXPECT_EQ(pending_requests.size(), static_cast<std::size_t>(occupied));
  pending_requests.clear();
}

TEST_F(CardApi, AFailureInTheHandlerAnswersInternalServerError) {
  queue_card_command = [](std::string, std::string) { throw std::runtime_error("queue refused"); };
  const auto answer = post("/api/save_card_placing", join_fields({"1011", "3", "1234"}));
  ASSERT_TRUE(answer) << httplib::to_string(answer.error());
  EXPECT_EQ(answer->status, 500);
  EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
  EXPECT_EQ(answer->body, R"({"error":"Internal server error"})");
}

// Takes CARD_REQUEST_TIMEOUT (10 s) of wall time.
TEST_F(CardApi, ABusyWorkerGivesTheTimeoutAndTheLateResultIsDropped) {
  open_test_contest();
  hold_worker();
  const auto answer = post("/api/save_card_placing", join_fields({"1011", "3", "2134"}));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 408);
  EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
  EXPECT_EQ(answer->body, R"({"error":"Request timeout"})");
  EXPECT_EQ(pending_count(), 0u);

  // The worker still runs the item: its placing is stored, its answer has nowhere to go.
  release_worker();
  const auto names = post("/api/fetch_card_names_and_placing", join_fields({"1011", "3"}));
  ASSERT_TRUE(names);
  EXPECT_EQ(names->body, join_fields({"Ann", "Cows", "2134"}));
  close_test_contest();
}

TEST(CardRequestIds, AreHttpAndANumberFrom100000To999999) {
  const std::regex form("http_[1-9][0-9]{5}");
  for (int i = 0; i < 2000; ++i) {
    const std::string id = make_request_id();
    ASSERT_TRUE(std::regex_match(id, form)) << id;
  }
}
}  // namespace
