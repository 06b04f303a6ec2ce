// Start-up and shut-down of the whole run, on the stand-in layer.
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "dispatch/command_queue.h"
#include "dispatch/function_table.h"
#include "shell/lifecycle.h"
#include "shell/shell_globals.h"
#include "store/database.h"
#include "store/result_texts.h"
#include "tests/shell/clean_run.h"
#include "tests/shell/fake_platform.h"
#include "tests/support/sql.h"

namespace {
using Calls = std::vector<std::string>;

// A card server stand-in: its thread waits until it is told to stop, as a listen loop does.
std::mutex server_mutex;
std::condition_variable server_cv;
bool server_stopped = false;
std::size_t table_size_at_server_start = 0;

void stand_in_server() {
  {
    std::lock_guard<std::mutex> lock(server_mutex);
    table_size_at_server_start = function_table.size();
  }
  std::unique_lock<std::mutex> lock(server_mutex);
  server_cv.wait(lock, [] { return server_stopped; });
  fake_record("server thread ends");
}

void stand_in_stop() {
  fake_record(std::string("stop server, stop flag ") + (stop_requested ? "set" : "clear"));
  {
    std::lock_guard<std::mutex> lock(server_mutex);
    server_stopped = true;
  }
  server_cv.notify_all();
}

void use_stand_in_server() {
  server_stopped = false;
  table_size_at_server_start = 0;
  card_server_body = stand_in_server;
  stop_card_server = stand_in_stop;
}

bool contains(const Calls& calls, const std::string& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// Set by an operation once it is running; the window is closed from then on.
std::atomic<bool> operation_running{false};

void close_once_the_operation_runs() {
  while (!operation_running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  fake_user_closes_window();
}

// After the run: the contest's file has no WAL left beside it, and holds the whole contest.
void expect_contest_closed_whole(const std::filesystem::path& file) {
  EXPECT_EQ(contest_db, nullptr);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_FALSE(std::filesystem::exists(file.string() + "-wal"));
  ASSERT_TRUE(open_database(file.string(), SQLITE_OPEN_READWRITE));
  EXPECT_EQ(query("PRAGMA integrity_check"), "ok");
}
}  // namespace

using DesktopRun = CleanRun;

TEST(WindowSize, ScalesWithTheSystemDpiDroppingRemainders) {
  const std::vector<std::pair<int, std::pair<int, int>>> cases = {
      {96, {1040, 640}}, {120, {1300, 800}}, {144, {1560, 960}}, {110, {1191, 733}}};
  for (const auto& [dpi, size] : cases) {
    const WindowSize got = main_window_size(dpi);
    EXPECT_EQ(got.width, size.first) << dpi;
    EXPECT_EQ(got.height, size.second) << dpi;
  }
}

TEST_F(DesktopRun, StartsAndStopsInOrderAndClosesTheContestLast) {
  use_stand_in_server();
  fake.dpi = 144;
  bool contest_open_during_run = false;
  fake.after_page_message = [&] {
    contest_open_during_run = contest_db != nullptr;
    fake_user_closes_window();
  };
  fake_on_ui_thread([] { fake_page_posts(u"1:create_contest:Spring Show"); });

  EXPECT_EQ(run_desktop_app(u"<p>page</p>"), 0);

  // The server's thread ends on its own time once it was first told to stop.
  Calls calls = fake_calls();
  const auto server_end = std::find(calls.begin(), calls.end(), "server thread ends");
  ASSERT_NE(server_end, calls.end());
  EXPECT_GT(server_end - calls.begin(), std::find(calls.begin(), calls.end(), "stop server, stop flag clear") - calls.begin());
  calls.erase(server_end);
  const Calls expected = {"initialize", "system_dpi", "create_main_window Tallywell Lite 1560x960",
                          "show_main_window", "create_web_view", "load_html 11", "run_message_loop",
                          "window closed", "stop server, stop flag clear", "clear_browsing_data",
                          "close_web_view", "post_quit 0", "stop server, stop flag set"};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(fake_page_messages(), std::vector<std::u16string>{u"1:"});
  // The card server started only after the table was complete.
  EXPECT_GE(table_size_at_server_start, 30u);
  EXPECT_EQ(table_size_at_server_start, function_table.size());
  EXPECT_TRUE(contest_open_during_run);
  EXPECT_EQ(contest_db, nullptr);
  EXPECT_TRUE(stop_requested);
  EXPECT_FALSE(worker_thread.joinable());
  EXPECT_FALSE(server_thread.joinable());
  EXPECT_EQ(webview, nullptr);
}

TEST_F(DesktopRun, ClosingWithNoContestAndAnIdleWorkerEndsAtOnce) {
  fake_on_ui_thread([] { fake_user_closes_window(); });
  EXPECT_EQ(run_desktop_app(u"x"), 0);
  EXPECT_FALSE(contains(fake_calls(), "message loop timed out"));
  EXPECT_EQ(contest_db, nullptr);
  EXPECT_FALSE(worker_thread.joinable());
}

TEST_F(DesktopRun, StartUpFailuresShowTheirBoxAndExitWithOneBeforeAnyThread) {
  use_stand_in_server();
  fake.toolkit_ok = false;
  EXPECT_EQ(run_desktop_app(u"x"), 1);
  EXPECT_EQ(fake_calls(), (Calls{"initialize", "message_box Tallywell Lite: Call to RegisterClassEx failed!"}));

  install_fake_layer();
  fake.window_ok = false;
  EXPECT_EQ(run_desktop_app(u"x"), 1);
  EXPECT_EQ(fake_calls(), (Calls{"initialize", "system_dpi", "create_main_window Tallywell Lite 1040x640",
                                 "message_box Tallywell Lite: Call to CreateWindow failed!"}));
  EXPECT_FALSE(worker_thread.joinable());
  EXPECT_FALSE(server_thread.joinable());
}

TEST_F(DesktopRun, AThreadThatCannotStartEndsTheRunWithABoxAndExitCodeOne) {
  use_stand_in_server();
  // A default stack no machine can map makes every new thread fail to start.
  pthread_attr_t saved, huge;
  ASSERT_EQ(pthread_getattr_default_np(&saved), 0);
  ASSERT_EQ(pthread_attr_init(&huge), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&huge, std::size_t{1} << 46), 0);
  ASSERT_EQ(pthread_setattr_default_np(&huge), 0);
  const int code = run_desktop_app(u"x");
  pthread_setattr_default_np(&saved);
  pthread_attr_destroy(&huge);
  pthread_attr_destroy(&saved);

  EXPECT_EQ(code, 1);
  const Calls calls = fake_calls();
  EXPECT_TRUE(contains(calls, "message_box Tallywell Lite: The worker thread could not be started.")) << calls.back();
  EXPECT_FALSE(contains(calls, "show_main_window"));
  EXPECT_FALSE(contains(calls, "create_web_view"));
  EXPECT_FALSE(worker_thread.joinable());
  EXPECT_FALSE(server_thread.joinable());
}

TEST_F(DesktopRun, AWindowWithoutAViewStillClosesInTheUsualOrder) {
  fake.view_ok = false;
  fake_on_ui_thread([] { fake_user_closes_window(); });
  EXPECT_EQ(run_desktop_app(u"x"), 0);
  EXPECT_EQ(fake_calls(), (Calls{"initialize", "system_dpi", "create_main_window Tallywell Lite 1040x640",
                                 "show_main_window", "create_web_view", "run_message_loop", "window closed",
                                 "post_quit 0"}));
}

// The page clears its forms as soon as an entry passes its checks: what was typed ahead behind
// a long fetch is saved although the window closes while that fetch runs. The fetch queued
// behind them is not run.
TEST_F(DesktopRun, SavesAndDeletesQueuedWhenTheWindowClosesAreInTheFileAtTheEnd) {
  operation_running = false;
  // Stands in for a long fetch: it ends only once shut-down has begun.
  register_function("long_fetch", [](const std::string&) {
    operation_running = true;
    while (!stop_requested) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return std::string("rows");
  });
  fake_on_ui_thread([] {
    fake_page_posts(u"1:create_contest:Typed Ahead");
    fake_page_posts(u"2:save_division:none\x1f" u"Junior\x1f" u"3");
    fake_page_posts(u"3:long_fetch:");
    fake_page_posts(u"4:save_class_type:none\x1f" u"Typed ahead");
    fake_page_posts(u"5:fetch_class_types:");
    fake_page_posts(u"6:delete_division:1000");
    fake_page_posts(u"7:call_save_contestant:none\x1f" u"1010\x1f" u"Ann");  // no such team: refused
    close_once_the_operation_runs();
  });
  ASSERT_EQ(run_desktop_app(u"x"), 0);

  EXPECT_EQ(fake_refused_replies(), (Calls{"3:rows", "4:", "6:", "7:" + CONSISTENCY_ERROR}));
  expect_contest_closed_whole(home.desktop() / "Typed Ahead" / "contest.db");
  EXPECT_EQ(query("SELECT name FROM class_types"), "Typed ahead");
  EXPECT_EQ(query("SELECT COUNT(*) FROM divisions"), "0");
}

// Another program holds the contest's write lock through the close: the save waiting for it
// and the twenty queued behind it share one wait, 5 s from the close, not 5 s each.
TEST_F(DesktopRun, OperationsAtTheCloseShareOneWaitForAnotherProgramsLock) {
  const std::filesystem::path file = home.desktop() / "Locked" / "contest.db";
  std::unique_ptr<OtherProgram> other;
  operation_running = false;
  register_function("save_under_lock", [&](const std::string&) {
    other = std::make_unique<OtherProgram>(file.string());
    other->exec("BEGIN IMMEDIATE; DELETE FROM class_types;");
    operation_running = true;
    return function_table.at("save_class_type")("none\x1fMine");
  });
  fake_on_ui_thread([] {
    fake_page_posts(u"1:create_contest:Locked");
    for (int i = 0; i < 21; ++i) fake_page_posts(i ? u"2:save_division:none\x1fJunior\x1f" u"3" : u"2:save_under_lock:");
    close_once_the_operation_runs();
  });
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(run_desktop_app(u"x"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
  EXPECT_EQ(fake_refused_replies(), Calls(21, "2:" + CONTEST_BUSY_ERROR));
  other.reset();
  expect_contest_closed_whole(file);
  EXPECT_EQ(query("SELECT COUNT(*) FROM divisions"), "0");
}

// The worker is in the middle of reading the contest when the window closes: the contest is
// closed only once that operation has ended, so it closes whole, its WAL merged into the file.
TEST_F(DesktopRun, AnOperationReadingTheContestAtTheCloseEndsBeforeTheContestCloses) {
  operation_running = false;
  register_function("long_read", [](const std::string&) {
    Statement reading = prepare_statement("SELECT name FROM divisions");
    EXPECT_TRUE(reading.next_row());
    operation_running = true;
    while (!stop_requested) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    // Still reading well after the stop, when a close that did not wait for it would come.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return column_text(reading, 0);
  });
  fake_on_ui_thread([] {
    fake_page_posts(u"1:create_contest:Busy");
    fake_page_posts(u"2:save_division:none\x1f" u"Junior\x1f" u"3");
    fake_page_posts(u"3:long_read:");
    close_once_the_operation_runs();
  });
  ASSERT_EQ(run_desktop_app(u"x"), 0);

  EXPECT_EQ(fake_refused_replies(), Calls{"3:Junior"});
  expect_contest_closed_whole(home.desktop() / "Busy" / "contest.db");
  EXPECT_EQ(query("SELECT name FROM divisions"), "Junior");
}
