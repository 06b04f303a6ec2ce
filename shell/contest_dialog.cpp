#include "shell/contest_dialog.h"

std::string (*contest_dialog_layer)() = nullptr;

std::string open_contest_dialog() { return contest_dialog_layer ? contest_dialog_layer() : std::string(); }
