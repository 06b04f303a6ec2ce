// The bridge harness as a black box: NUL-ended requests in, NUL-ended replies out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/temp_home.h"

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
  std::ifstream f(out, std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<std::string> replies;
  std::string reply;
  std::istringstream stream(all);
  while (std::getline(stream, reply, '\0')) replies.push_back(reply);
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
