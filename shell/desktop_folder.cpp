#include "shell/desktop_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace {
std::string home_folder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
  return std::string();
}

// Reads XDG_DESKTOP_DIR="$HOME/Desktop" from user-dirs.dirs (shell-quoted, $HOME expanded).
std::string desktop_from_user_dirs(const std::string& home) {
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') config = xdg;
  else config = home + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    std::string value = line.substr(start + key.size());
    if (value.size() < 2 || value.front() != '"') continue;
    const auto close = value.find('"', 1);
    if (close == std::string::npos) continue;
    value = value.substr(1, close - 1);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    else if (value.empty() || value.front() != '/') continue;
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    return value;
  }
  return std::string();
}
}  // namespace

std::string desktop_folder_path() {
  const std::string home = home_folder();
  if (home.empty()) return std::string();
  const std::string from_file = desktop_from_user_dirs(home);
  return from_file.empty() ? home + "/Desktop" : from_file;
}
