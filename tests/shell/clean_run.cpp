#include "clean_run.h"

#include <stdlib.h>

#include <filesystem>
#include <mutex>

#include "dispatch/command_queue.h"
#include "dispatch/worker.h"
#include "fake_platform.h"
#include "shell/contest_dialog.h"
#include "shell/shell_globals.h"
#include "store/database.h"

void CleanRun::SetUp() {
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
  char pattern[] = "/tmp/tallywell-shell-XXXXXX";
  home = mkdtemp(pattern);
  std::filesystem::create_directory(home + "/Desktop");
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
}

void CleanRun::TearDown() {
  close_database();
  std::filesystem::remove_all(home);
}
