#pragma once
#include <string>

// The contest file dialog: starts in the Desktop folder with the filters "Contest Database"
// (contest.db), "Database Files" (*.db) and "All Files", the first selected, and
// "contest.db" proposed. Answers the chosen file's path as file-system bytes, or "" when
// the user cancelled or no dialog could be shown. Runs on the worker thread.
std::string open_contest_dialog();

// The layer that shows it: the application installs show_contest_file_dialog, the test
// harness a stand-in. Without one, the dialog counts as cancelled.
extern std::string (*contest_dialog_layer)();

// The dialog above, shown by the platform layer and owned by the main window.
std::string show_contest_file_dialog();

// Hands the store the Desktop folder and open_contest_dialog, for creating and opening
// contests. Done once at start-up, before the worker starts.
void install_desktop_hooks();
