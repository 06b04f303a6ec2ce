#pragma once
// A temporary HOME (and so a temporary Desktop, where the store is pointed as the program
// points it) for one test, removed afterwards, with the contest connection closed, so no
// test ever touches the user's real files. And the bytes
// of a file, to compare a file before and after.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "shell/contest_dialog.h"
#include "store/database.h"

struct TempHome {
  std::filesystem::path home;
  std::string saved_home;
  bool had_home = false;

  TempHome() {
    if (const char* h = std::getenv("HOME")) {
      had_home = true;
      saved_home = h;
    }
    std::string templ = (std::filesystem::temp_directory_path() / "tallywell-test-XXXXXX").string();
    home = mkdtemp(templ.data());
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    install_desktop_hooks();
  }
  ~TempHome() {
    close_database();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    if (had_home) setenv("HOME", saved_home.c_str(), 1);
    else unsetenv("HOME");
  }
  std::filesystem::path desktop() const { return home / "Desktop"; }
};

inline std::string file_bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
