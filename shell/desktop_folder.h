#pragma once
#include <string>

// The user's Desktop folder as a file-system path, or "" when it cannot be found.
// Taken from XDG_DESKTOP_DIR in the user-dirs file, else $HOME/Desktop.
std::string desktop_folder_path();
