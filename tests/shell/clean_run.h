#pragma once
// Each test runs the application from a clean slate: the stand-in layer, an empty queue, a
// clear stop flag, no contest open, and a HOME of its own with its Desktop folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "dispatch/command_queue.h"
#include "dispatch/worker.h"
#include "shell/contest_dialog.h"
#include "shell/shell_globals.h"
#include "store/database.h"
#include "tests/shell/fake_platform.h"
#include "tests/support/temp_home.h"

class CleanRun : public ::testing::Test {
 protected:
  TempHome home;

  void SetUp() override {
    install_fake_layer();
    stop_requested = false;
    {
      std::lock_guard<std::mutex> lock(command_queue_mutex);
      command_queue.clear();
    }
    main_window = nullptr;
    webview = nullptr;
    post_command_result = nullptr;
    contest_dialog_layer = nullptr;
    card_server_body = nullptr;
    stop_card_server = nullptr;
    close_database();
    std::filesystem::create_directory(home.desktop());
  }
  void TearDown() override { close_database(); }
};
