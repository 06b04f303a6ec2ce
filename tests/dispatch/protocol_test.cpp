#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "shell/message_bridge.h"
#include "shell/text_conversion.h"
#include "store/database.h"
#include "store/failures.h"
#include "store/fields.h"
#include "tests/support/worker.h"

TEST(SplitFirstColon, SplitsOnlyAtTheFirstColon) {
  EXPECT_EQ(split_first_colon("7:fetch_divisions:"), std::make_pair(std::string("7"), std::string("fetch_divisions:")));
  EXPECT_EQ(split_first_colon("a:b:c:d"), std::make_pair(std::string("a"), std::string("b:c:d")));
  EXPECT_EQ(split_first_colon("abc"), std::make_pair(std::string("abc"), std::string()));
  EXPECT_EQ(split_first_colon(""), std::make_pair(std::string(), std::string()));
  EXPECT_EQ(split_first_colon(":x"), std::make_pair(std::string(), std::string("x")));
}

TEST(FunctionTable, HoldsExactlyTheThirtyOperations) {
  function_table.clear();
  initialize_functions();
  const char* names[] = {"create_contest", "open_contest", "save_division", "fetch_divisions",
                         "delete_division", "save_team", "fetch_teams", "delete_team",
                         "call_save_contestant", "fetch_contestants", "fetch_contestant_counts",
                         "delete_contestant", "save_class_type", "fetch_class_types",
                         "delete_class_type", "save_class", "fetch_classes", "delete_class",
                         "fetch_wifi_addresses", "save_placing", "fetch_placings",
                         "fetch_placing_counts", "delete_placing", "fetch_indiv_scores",
                         "fetch_indiv_rankings", "fetch_team_rankings", "fetch_card_names",
                         "fetch_card_names_and_placing", "save_card_placing", "save_card_reasons"};
  EXPECT_EQ(function_table.size(), 30u);
  for (const char* name : names) EXPECT_TRUE(function_table.count(name)) << name;
  EXPECT_FALSE(function_table.count("save_contestant"));
  EXPECT_FALSE(function_table.count("Fetch_divisions"));
  EXPECT_FALSE(function_table.count("fetch_divisions "));
}

TEST(FunctionTable, RegisteringANameAgainReplacesIt) {
  function_table.clear();
  register_function("x", [](const std::string&) { return std::string("old"); });
  register_function("x", [](const std::string&) { return std::string("new"); });
  EXPECT_EQ(function_table.size(), 1u);
  EXPECT_EQ(function_table.at("x")(""), "new");
}

TEST(Worker, AnswersUnknownNamesUnderTheirOwnIdAndGoesOn) {
  RunningWorker worker;
  on_web_message_received(u"abc");
  on_web_message_received(u"");
  on_web_message_received(u"5:no_such_operation:1");
  on_web_message_received(u"6:Fetch_divisions:");
  const auto replies = worker.wait_for(4);
  ASSERT_EQ(replies.size(), 4u);
  EXPECT_EQ(replies[0], "abc:ERROR:Unknown function.");
  EXPECT_EQ(replies[1], ":ERROR:Unknown function.");
  EXPECT_EQ(replies[2], "5:ERROR:Unknown function.");
  EXPECT_EQ(replies[3], "6:ERROR:Unknown function.");
}

TEST(Worker, PassesArgumentsWithColonsSeparatorsAndNonAsciiUnchanged) {
  RunningWorker worker;
  register_function("echo", [](const std::string& a) { return "got[" + a + "]"; });
  const std::string args = std::string("a:b") + FIELD_SEPARATOR + "\xC3\xA9:" + FIELD_SEPARATOR;
  on_web_message_received(utf8_to_utf16("12:echo:" + args));
  on_web_message_received(u"13:echo:");
  const auto replies = worker.wait_for(2);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0], "12:got[" + args + "]");
  EXPECT_EQ(replies[1], "13:got[]");
}

TEST(Worker, RunsPageAndCardCommandsInArrivalOrder) {
  RunningWorker worker;
  std::vector<std::string> order;  // written by the worker only
  register_function("note", [&order](const std::string& a) {
    order.push_back(a);
    return std::string();
  });
  push_command(CommandItem{"1", "note:page-1", false});
  push_command(CommandItem{"http_123456", "note:card", true});
  push_command(CommandItem{"2", "note:page-2", false});
  const auto replies = worker.wait_for(2);
  worker.stop();
  EXPECT_EQ(order, (std::vector<std::string>{"page-1", "card", "page-2"}));
  EXPECT_EQ(replies, (std::vector<std::string>{"1:", "2:"}));
}

TEST(Worker, SurvivesEveryKindOfFailure) {
  RunningWorker worker;
  register_function("throws_std", [](const std::string&) -> std::string { throw std::runtime_error("boom"); });
  register_function("throws_int", [](const std::string&) -> std::string { throw 42; });
  register_function("bad_number", [](const std::string& a) { return std::to_string(read_number(a)); });
  register_function("no_contest", [](const std::string&) {
    prepare_statement("SELECT 1");
    return std::string("unreachable");
  });
  EXPECT_EQ(worker.call("throws_std:"), UNEXPECTED_ERROR);
  EXPECT_EQ(worker.call("throws_int:"), UNEXPECTED_ERROR);
  EXPECT_EQ(worker.call("bad_number:abc"), INVALID_NUMBER_ERROR);
  EXPECT_EQ(worker.call("bad_number:99999999999"), INVALID_NUMBER_ERROR);
  EXPECT_EQ(worker.call("bad_number:12abc"), "12");
  EXPECT_EQ(worker.call("no_contest:"), NO_CONTEST_ERROR);
  EXPECT_EQ(worker.call("bad_number: -7"), "-7");
}

TEST(Worker, DropsRepliesOnceTheWindowIsGone) {
  RunningWorker worker;
  worker.close_window();
  std::atomic<int> ran{0};
  register_function("count", [&ran](const std::string&) {
    ++ran;
    return std::string();
  });
  push_command(CommandItem{"1", "count:", false});
  push_command(CommandItem{"2", "count:", false});
  for (int i = 0; i < 200 && ran < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(ran, 2);  // the failed hand-off of the first reply did not stop the worker
  EXPECT_TRUE(worker.wait_for(0).empty());
}

TEST(Worker, StopEndsAWaitingWorkerAndLeavesQueuedItemsUnrun) {
  RunningWorker worker;
  std::atomic<int> ran{0};
  std::mutex gate;
  gate.lock();
  register_function("block", [&gate](const std::string&) {
    std::lock_guard<std::mutex> wait(gate);
    return std::string();
  });
  register_function("count", [&ran](const std::string&) {
    ++ran;
    return std::string();
  });
  push_command(CommandItem{"1", "block:", false});
  // Let the worker take the blocking item, then queue more behind it and ask to stop.
  for (int i = 0; i < 200; ++i) {
    {
      std::lock_guard<std::mutex> lock(command_queue_mutex);
      if (command_queue.empty()) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  push_command(CommandItem{"2", "count:", false});
  push_command(CommandItem{"3", "count:", false});
  request_stop();
  gate.unlock();
  worker.stop();
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(worker.wait_for(1), std::vector<std::string>{"1:"});  // the running one finished and was routed
  std::lock_guard<std::mutex> lock(command_queue_mutex);
  EXPECT_EQ(command_queue.size(), 2u);
}

TEST(Worker, StopWithAnEmptyQueueEndsTheWorkerAtOnce) {
  RunningWorker worker;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto start = std::chrono::steady_clock::now();
  worker.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// The page's messages are taken on the UI thread, which must never die of one: a message
// too large for the memory left is answered with an error under its id, and the next one
// is taken as usual. Run in a child process whose address space is capped just above what
// it already uses; answers its exit code.
int take_a_message_too_large_for_the_memory_left() {
  RunningWorker worker;
  register_function("echo", [](const std::string& a) { return a; });
  const std::u16string huge = u"7:echo:" + std::u16string(40'000'000, u'x');
  long used_kb = 0;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmSize:", 0) == 0) used_kb = std::stol(line.substr(7));
  }
  const rlim_t cap = (static_cast<rlim_t>(used_kb) + 20 * 1024) * 1024;
  const rlimit limit{cap, cap};
  if (setrlimit(RLIMIT_AS, &limit) != 0) return 2;
  on_web_message_received(huge);
  on_web_message_received(u"8:echo:small");
  const auto replies = worker.wait_for(2);
  worker.stop();
  if (replies.size() == 2 && replies[0].rfind("7:ERROR:", 0) == 0 && replies[1] == "8:small") return 0;
  std::fprintf(stderr, "replies: %zu, first: %.80s\n", replies.size(), replies.empty() ? "" : replies[0].c_str());
  return 1;
}

TEST(PageIntake, AMessageTooLargeForTheMemoryLeftIsAnsweredWithAnError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(take_a_message_too_large_for_the_memory_left()), ::testing::ExitedWithCode(0), "");
}
