// The bridge harness as a black box: NUL-ended requests in, NUL-ended replies out.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/support/fields.h"
#include "tests/support/loopback_port.h"
#include "tests/support/temp_home.h"

namespace {
std::vector<std::string> run_harness(const TempHome& home, const std::vector<std::string>& requests,
                                     const std::string& env = "") {
  const auto in = home.home / "in.bin", out = home.home / "out.bin";
  {
    std::ofstream f(in, std::ios::binary);
    for (const auto& r : requests) f << r << '\0';
  }
  const char* harness = std::getenv("BRIDGE_HARNESS");
  if (!harness) return {"BRIDGE_HARNESS not set"};
  const std::string command = "HOME='" + home.home.string() + "' " + env + " timeout 20 '" + harness + "' < '" +
                              in.string() + "' > '" + out.string() + "'";
  if (std::system(command.c_str()) != 0) return {"harness failed"};
  // Each reply ends with a NUL, so the text after the last one is empty.
  std::vector<std::string> replies = split_at(file_bytes(out), std::string(1, '\0'));
  if (replies.back().empty()) replies.pop_back();
  return replies;
}
}  // namespace

TEST(BridgeHarness, AnswersEveryRequestInOrderAndClosesCleanly) {
  TempHome home;
  const auto replies = run_harness(home, {"1:create_contest:Harness Show", "2:no_such:", "abc", "",
                                          "3:create_contest:Other Show", "4:open_contest:"});
  ASSERT_EQ(replies.size(), 6u);
  EXPECT_EQ(replies[0], "1:");
  EXPECT_EQ(replies[1], "2:ERROR:Unknown function.");
  EXPECT_EQ(replies[2], "abc:ERROR:Unknown function.");
  EXPECT_EQ(replies[3], ":ERROR:Unknown function.");
  EXPECT_EQ(replies[4], "3:ERROR:Critical failure, the database could not be opened.");
  EXPECT_EQ(replies[5], "4:None");
  // The database was closed at the end: its write-ahead log has been folded back in.
  EXPECT_TRUE(std::filesystem::exists(home.desktop() / "Harness Show" / "contest.db"));
  EXPECT_FALSE(std::filesystem::exists(home.desktop() / "Harness Show" / "contest.db-wal"));
}

TEST(BridgeHarness, OpensTheFileItsDialogStandInNames) {
  TempHome home;
  ASSERT_EQ(run_harness(home, {"1:create_contest:Reopen"}), std::vector<std::string>{"1:"});
  const auto path = home.desktop() / "Reopen" / "contest.db";
  const auto replies = run_harness(home, {"1:open_contest:", "2:open_contest:"},
                                   "TALLYWELL_OPEN_PATH='" + path.string() + "'");
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0], "1:Reopen");
  EXPECT_EQ(replies[1], "2:ERROR:Critical failure, the database could not be opened.");
}

// Clients sending their requests a byte at a time hold the card server's threads, which no
// read time-out frees: once its input ends the harness still exits, within the server's wait.
TEST(BridgeHarness, EndsSoonAfterItsInputWhileClientsTrickleRequests) {
  TempHome home;
  const char* harness = std::getenv("BRIDGE_HARNESS");
  ASSERT_NE(harness, nullptr);
  const int port = free_loopback_port();
  const std::string command = "HOME='" + home.home.string() + "' TALLYWELL_CARD_PORT=" + std::to_string(port) +
                              " timeout 20 '" + harness + "' > /dev/null";
  FILE* input = popen(command.c_str(), "w");
  ASSERT_NE(input, nullptr);
  ASSERT_TRUE(comes_up(port));

  std::atomic<bool> done{false};
  std::vector<std::thread> clients;
  for (int i = 0; i < 3; ++i) {
    clients.emplace_back([port, &done] {
      const int sock = connect_to_loopback(port);
      const std::string head = "POST /api/save_card_placing HTTP/1.1\r\nHost: x\r\nX-Slow: ";
      send(sock, head.data(), head.size(), MSG_NOSIGNAL);
      while (!done && send(sock, "a", 1, MSG_NOSIGNAL) == 1) std::this_thread::sleep_for(std::chrono::milliseconds(500));
      close(sock);
    });
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const auto closed = std::chrono::steady_clock::now();
  const int status = pclose(input);  // ends the input, then waits for the harness
  const auto took = std::chrono::steady_clock::now() - closed;
  done = true;
  for (auto& c : clients) c.join();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_LT(took, std::chrono::seconds(4));
}
