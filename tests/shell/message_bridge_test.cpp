// Page messages in, replies out, through the real worker, on the stand-in layer.
#include <atomic>
#include <chrono>
#include <thread>

#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "shell/lifecycle.h"
#include "shell/message_bridge.h"
#include "shell/shell_globals.h"
#include "tests/shell/clean_run.h"
#include "tests/shell/fake_platform.h"

namespace {
using Texts = std::vector<std::u16string>;

// Runs the application until the page has received `count` texts, then closes the window.
void run_until_page_has(std::size_t count) {
  fake.after_page_message = [count] {
    if (fake_page_messages().size() == count) fake_user_closes_window();
  };
  ASSERT_EQ(run_desktop_app(u"x"), 0);
}
}  // namespace

using PageBridge = CleanRun;

TEST_F(PageBridge, SplitsAtTheFirstColonAndAnswersWholeAndInOrder) {
  register_function("echo", [](const std::string& args) { return args; });
  register_function("utf8_size", [](const std::string& args) { return std::to_string(args.size()); });
  const Texts sent = {u"1:echo:a:b\x1f" u"c:",  u"2:utf8_size:Café", u"3:echo:Café ✓ 日本 😀",
                      u"4:no_such_operation:", u"abc",              u"",
                      u"5:echo:",              u"6:echo:\xD800x",   u"7:echo:ERROR:kept as it is"};
  Texts expected = {u"1:a:b\x1f" u"c:", u"2:5", u"3:Café ✓ 日本 😀", u"4:ERROR:Unknown function.",
                    u"abc:ERROR:Unknown function.", u":ERROR:Unknown function.", u"5:", u"6:\uFFFDx",
                    u"7:ERROR:kept as it is"};
  Texts all = sent;
  for (int i = 100; i < 400; ++i) {
    std::u16string id;
    for (char c : std::to_string(i)) id += static_cast<char16_t>(c);
    all.push_back(id + u":echo:" + id);
    expected.push_back(id + u":" + id);
  }
  fake_on_ui_thread([all] {
    for (const auto& message : all) fake_page_posts(message);
  });
  run_until_page_has(expected.size());
  EXPECT_EQ(fake_page_messages(), expected);
}

TEST_F(PageBridge, AReplyAfterTheWindowIsGoneIsFreedAndDroppedAndQueuedCommandsNeverRun) {
  static std::atomic<bool> slow_started{false};
  static std::atomic<bool> later_ran{false};
  slow_started = false;
  later_ran = false;
  // Still running when the window goes; it finishes only once shut-down has begun.
  register_function("slow", [](const std::string&) {
    slow_started = true;
    while (!stop_requested) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return std::string("done");
  });
  register_function("later", [](const std::string&) {
    later_ran = true;
    return std::string();
  });
  fake_on_ui_thread([] {
    fake_page_posts(u"1:slow:");
    fake_page_posts(u"2:later:");
    while (!slow_started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    fake_user_closes_window();
  });
  ASSERT_EQ(run_desktop_app(u"x"), 0);
  EXPECT_EQ(fake_refused_replies(), std::vector<std::string>{"1:done"});
  EXPECT_TRUE(fake_page_messages().empty());
  EXPECT_FALSE(later_ran);
}

TEST_F(PageBridge, ARepliesTextIsConvertedForThePageAndFreed) {
  int token = 0;
  webview = reinterpret_cast<WebView*>(&token);
  on_command_result(nullptr);  // ignored
  on_command_result(new std::string("8:Café \xF0\x9F\x98\x80"));
  on_command_result(new std::string("9:bad \xC3 byte"));
  webview = nullptr;
  on_command_result(new std::string("10:no page to take it"));
  EXPECT_EQ(fake_page_messages(), (Texts{u"8:Café 😀", u"9:bad \uFFFD byte"}));
}

TEST_F(PageBridge, TheContestDialogIsAskedOfTheWindowFromTheWorker) {
  std::thread::id asked_on;
  FileDialogRequest asked;
  fake.dialog = [&](const FileDialogRequest& request) {
    asked_on = std::this_thread::get_id();
    asked = request;
    return std::string();  // the user cancels
  };
  fake_on_ui_thread([] { fake_page_posts(u"1:open_contest:"); });
  run_until_page_has(1);
  EXPECT_EQ(fake_page_messages(), Texts{u"1:None"});
  EXPECT_NE(asked_on, std::this_thread::get_id());
  EXPECT_EQ(asked.start_folder, home.desktop().string());
  ASSERT_EQ(asked.filters.size(), 3u);
  EXPECT_EQ(asked.filters[0].name, "Contest Database");
  EXPECT_EQ(asked.filters[0].pattern, "contest.db");
  EXPECT_EQ(asked.filters[1].name, "Database Files");
  EXPECT_EQ(asked.filters[1].pattern, "*.db");
  EXPECT_EQ(asked.filters[2].name, "All Files");
  EXPECT_EQ(asked.proposed_name, "contest.db");
}
