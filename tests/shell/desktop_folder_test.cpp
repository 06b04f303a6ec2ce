#include "shell/desktop_folder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_home.h"

TEST(DesktopFolder, FallsBackToDesktopInHome) {
  TempHome home;
  EXPECT_EQ(desktop_folder_path(), (home.home / "Desktop").string());
}

TEST(DesktopFolder, FollowsTheUserDirsFile) {
  TempHome home;
  std::filesystem::create_directories(home.home / ".config");
  std::ofstream(home.home / ".config" / "user-dirs.dirs")
      << "# comment\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
  EXPECT_EQ(desktop_folder_path(), (home.home / "Schreibtisch").string());
}

TEST(DesktopFolder, AcceptsAnAbsoluteDesktopAndIgnoresARelativeOne) {
  TempHome home;
  std::filesystem::create_directories(home.home / ".config");
  std::ofstream(home.home / ".config" / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"/srv/desk/\"\n";
  EXPECT_EQ(desktop_folder_path(), "/srv/desk");
  std::ofstream(home.home / ".config" / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"desk\"\n";
  EXPECT_EQ(desktop_folder_path(), (home.home / "Desktop").string());
}
