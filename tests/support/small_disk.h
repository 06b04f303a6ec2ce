#pragma once
// A small tmpfs over a folder, so that writes there meet a real full disk, or a real
// read-only file system once it is made so. It is mounted in a mount namespace private to
// this test process, so nothing of it reaches the rest of the machine: root may always do
// that, another user where the system lets it make a user namespace. Where neither is
// possible, mounted stays false and the test says it was skipped.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <string>

#include "store/database.h"

namespace small_disk_detail {
inline bool write_text(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY);
  if (fd < 0) return false;
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return written;
}

// Once per process. A user namespace must be entered while the process has one thread.
inline bool enter_private_mounts() {
  static const bool entered = [] {
    const std::string uid = std::to_string(getuid());
    const std::string gid = std::to_string(getgid());
    bool ok = unshare(CLONE_NEWNS) == 0;
    if (!ok && unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0)
      ok = write_text("/proc/self/setgroups", "deny") && write_text("/proc/self/uid_map", "0 " + uid + " 1") &&
           write_text("/proc/self/gid_map", "0 " + gid + " 1");
    return ok && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  return entered;
}
}  // namespace small_disk_detail

struct SmallDisk {
  std::filesystem::path folder;
  bool mounted = false;

  SmallDisk(const std::filesystem::path& at, std::size_t bytes) : folder(at) {
    std::filesystem::create_directories(at);
    mounted = small_disk_detail::enter_private_mounts() &&
              mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) == 0;
  }
  // The contest is closed first: its files live here.
  ~SmallDisk() {
    close_database();
    if (mounted) umount2(folder.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool make_read_only() const {
    return mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

  // Takes up every byte that is left with one file, and answers its path.
  std::filesystem::path fill() const {
    const std::filesystem::path filler = folder / "filler";
    const int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string block(4096, 'x');
    if (fd >= 0) {
      while (write(fd, block.data(), block.size()) > 0) {
      }
      close(fd);
    }
    return filler;
  }
};
