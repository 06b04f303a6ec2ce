#include "shell/contest_dialog.h"

#include "shell/desktop_folder.h"
#include "shell/shell_globals.h"
#include "store/desktop_hooks.h"

std::string (*contest_dialog_layer)() = nullptr;

std::string open_contest_dialog() { return contest_dialog_layer ? contest_dialog_layer() : std::string(); }

std::string show_contest_file_dialog() {
  // Every contest file is named contest.db, so that filter comes first. "All Files" is
  // "*": a file name here need not hold a dot.
  const FileDialogRequest request{
      desktop_folder_path(),
      {{"Contest Database", "contest.db"}, {"Database Files", "*.db"}, {"All Files", "*"}},
      "contest.db"};
  return platform_layer.choose_existing_file(main_window, request);
}

void install_desktop_hooks() {
  find_desktop_folder = desktop_folder_path;
  choose_contest_file = open_contest_dialog;
}
