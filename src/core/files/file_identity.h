#pragma once
// What makes two names one file: the device and the inode, whatever the spelling.

#include <sys/stat.h>
#include <sys/types.h>

namespace velmora {

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;

  friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode;
  }
  friend bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }
  friend bool operator<(const FileIdentity& a, const FileIdentity& b) {
    return a.device != b.device ? a.device < b.device : a.inode < b.inode;
  }
};

inline FileIdentity identityOf(const struct stat& status) { return {status.st_dev, status.st_ino}; }

}  // namespace velmora
