// Random and truncated bodies against the four card routes, from several phones at once:
// every request is answered with a known text, and the contest holds only valid rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "store/failures.h"
#include "tests/cards/card_server_fixture.h"

namespace {
const char* const ROUTES[] = {"/api/fetch_card_names", "/api/fetch_card_names_and_placing",
                              "/api/save_card_placing", "/api/save_card_reasons"};

std::string random_field(std::mt19937& random) {
  static const std::vector<std::string> pieces = {
      "1011", "1012", "1013", "3", "4", "5", "0", "2134", "4321", "1234", "5555", "1244", "50", "51", "40",
      "-1", "+3", " 3", "3x", "x", "", "99999999999", "-2147483648", "2147483647", "1e3", "0x10", "\xFF\xFE",
      ":", "None", "<b>", std::string(1, '\0')};
  if (random() % 6 == 0) {  // raw bytes, separators and colons included
    std::string bytes(random() % 12, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    return bytes;
  }
  return pieces[random() % pieces.size()];
}

std::string random_body(std::mt19937& random) {
  if (random() % 3 == 0) {  // what a card page sends, valid or not
    static const char* const contestants[] = {"1011", "1012", "1013"};
    static const char* const classes[] = {"3", "4", "5"};
    static const char* const values[] = {"2134", "4321", "0", "5555", "1244", "40", "50", "51", "-3"};
    return join_fields({contestants[random() % 3], classes[random() % 3], values[random() % 9]});
  }
  std::string body;
  const int fields = static_cast<int>(random() % 5);
  for (int i = 0; i < fields; ++i) {
    if (i > 0) body += FIELD_SEPARATOR;
    body += random_field(random);
  }
  if (random() % 4 == 0) body.resize(random() % (body.size() + 1));  // truncated in transit
  return body;
}

bool is_known_answer(const std::string& route, const std::string& answer) {
  static const std::set<std::string> fixed_errors = {NO_CONTEST_ERROR, MISSING_FIELD_ERROR, INVALID_NUMBER_ERROR,
                                                     DATABASE_PROBLEM_ERROR, UNEXPECTED_ERROR};
  if (fixed_errors.count(answer)) return true;
  if (route.find("save_") != std::string::npos) return answer == "true" || answer == "false";
  // Names: two fields (and the placing on the reasons route), each a stored name or empty.
  static const std::set<std::string> names = {"", "Ann", "Ben"}, classes = {"", "Cows", "Sheep"};
  const auto fields = fields_of(answer);
  const bool with_placing = route.find("and_placing") != std::string::npos;
  if (fields.size() != (with_placing ? 3u : 2u)) return false;
  return names.count(fields[0]) && classes.count(fields[1]);
}

TEST(CardFuzz, EveryBodyIsAnsweredAndOnlyValidRowsAreStored) {
  open_test_contest();
  start_worker();
  const int port = start_card_server();

  std::atomic<int> unanswered{0}, unknown{0}, placings_stored{0}, reasons_stored{0};
  std::mutex report_mutex;
  std::string first_unknown;
  std::vector<std::thread> phones;
  for (int phone = 0; phone < 16; ++phone) {
    phones.emplace_back([&, phone] {
      std::mt19937 random(1000 + phone);
      httplib::Client client("127.0.0.1", port);
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);
      client.set_read_timeout(15, 0);
      for (int i = 0; i < 250; ++i) {
        const std::string route = ROUTES[random() % 4];
        const std::string body = random_body(random);
        const auto answer = client.Post(route.c_str(), body, "text/plain");
        if (!answer || answer->status != 200) {
          ++unanswered;
          continue;
        }
        if (!is_known_answer(route, answer->body)) {
          std::lock_guard<std::mutex> lock(report_mutex);
          if (first_unknown.empty()) first_unknown = route + " -> " + answer->body;
          ++unknown;
        }
        if (answer->body == "true") ++(route.find("placing") != std::string::npos ? placings_stored : reasons_stored);
      }
    });
  }
  for (auto& t : phones) t.join();

  EXPECT_EQ(unanswered, 0);
  EXPECT_EQ(unknown, 0) << first_unknown;
  EXPECT_EQ(pending_count(), 0u);
  stop_card_server();
  stop_worker();

  // Each "true" stored exactly one value, and nothing else was stored.
  EXPECT_GT(placings_stored, 0);
  EXPECT_GT(reasons_stored, 0);
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings"), std::to_string(placings_stored));
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings WHERE reasons_score IS NOT NULL"), std::to_string(reasons_stored));
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings WHERE placing != 0 AND placing NOT IN "
                  "(SELECT 1000*a.d + 100*b.d + 10*c.d + e.d FROM (SELECT 1 d UNION SELECT 2 UNION "
                  "SELECT 3 UNION SELECT 4) a, (SELECT 1 d UNION SELECT 2 UNION SELECT 3 UNION SELECT 4) b,"
                  " (SELECT 1 d UNION SELECT 2 UNION SELECT 3 UNION SELECT 4) c, (SELECT 1 d UNION SELECT 2"
                  " UNION SELECT 3 UNION SELECT 4) e WHERE a.d NOT IN (b.d, c.d, e.d) AND b.d NOT IN"
                  " (c.d, e.d) AND c.d != e.d)"),
            "0");
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings WHERE reasons_score NOT BETWEEN 0 AND 50"), "0");
  EXPECT_EQ(query("SELECT COUNT(*) FROM placings WHERE contestant_no NOT IN (1011, 1012)"
                  " OR class_id NOT IN (3, 4)"),
            "0");
  close_test_contest();
}
}  // namespace
