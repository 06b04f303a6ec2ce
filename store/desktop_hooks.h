#pragma once
// What creating and opening a contest need from the desktop around the store: where the
// Desktop folder is, and which file the user chose. The application installs the shell's
// at start-up; the test harness and the tests install theirs. Left unset, no Desktop folder
// is found and no file is chosen.
#include <string>

// The Desktop folder's path, or "" when it cannot be found.
extern std::string (*find_desktop_folder)();

// The contest file the user chose, its path as file-system bytes, or "" when none was
// chosen. Called on the worker thread.
extern std::string (*choose_contest_file)();
