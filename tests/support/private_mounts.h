#pragma once
// Mounts that only this test process and its children see: a small tmpfs to fill up, a folder
// bound read-only onto itself, or a second mount point of a folder. As root, permission bits do
// not stop a write, so a read-only mount is the only honest read-only folder. The mounts live in
// a mount namespace of the process's own (a user namespace too when not root) and vanish with it.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <string>

namespace velmora::testing {

inline bool writeProcFile(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return ok;
}

// Enters the private namespace once per process; false when the system allows neither kind.
inline bool privateMountsAvailable() {
  static const bool available = [] {
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (unshare(CLONE_NEWNS) != 0) {
      if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
      writeProcFile("/proc/self/setgroups", "deny");
      if (!writeProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
          !writeProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
        return false;
    }
    return mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  return available;
}

// Writes into `file` until its file system says it is full; false when it cannot be created.
inline bool fillUp(const std::string& file) {
  FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return false;
  const std::string block(4096, 'x');
  while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
  }
  std::fclose(f);
  return true;
}

// Unmounts the folder when the test ends, before its scratch folder is removed.
class ScopedMount {
 public:
  ScopedMount() = default;
  ScopedMount(const ScopedMount&) = delete;
  ScopedMount& operator=(const ScopedMount&) = delete;
  ~ScopedMount() {
    if (!folder_.empty()) umount2(folder_.c_str(), MNT_DETACH);
  }

  // A tmpfs of the given size (whole pages) and number of inodes (0: the default).
  bool tmpfs(const std::string& folder, std::size_t bytes, std::size_t inodes = 0) {
    std::string options = "size=" + std::to_string(bytes);
    if (inodes != 0) options += ",nr_inodes=" + std::to_string(inodes);
    if (!privateMountsAvailable() ||
        mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0)
      return false;
    folder_ = folder;
    return true;
  }

  // The tree under `folder` shows under `mountPoint` too, as a second mount of one archive.
  bool bind(const std::string& folder, const std::string& mountPoint) {
    if (!privateMountsAvailable() ||
        mount(folder.c_str(), mountPoint.c_str(), nullptr, MS_BIND, nullptr) != 0)
      return false;
    folder_ = mountPoint;
    return true;
  }

  // The folder, with what it holds now, becomes read-only in place.
  bool readOnly(const std::string& folder) {
    return bind(folder, folder) &&
           mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string folder_;
};

}  // namespace velmora::testing
