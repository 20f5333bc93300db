#include "core/files/file_removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/files/file_identity.h"

namespace velmora {

namespace {

class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
};

// The start-of-image marker and the first byte of the next marker: every JPEG begins so.
bool startsAsJpeg(int fd) {
  unsigned char start[3] = {};
  return ::pread(fd, start, sizeof start, 0) == static_cast<ssize_t>(sizeof start) &&
         start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF;
}

// The identity of the regular JPEG file the name holds now, opened without following a link;
// O_NONBLOCK so that a pipe put in its place cannot hold the run.
bool openedJpegIdentity(const DirectoryHandle& folder, const std::string& name,
                        FileIdentity& identity) {
  const int fd = ::openat(folder.fd(), name.c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  const FileCloser closer(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !startsAsJpeg(fd)) return false;
  identity = identityOf(status);
  return true;
}

}  // namespace

JpegRemoval removeJpegFile(const DirectoryHandle& folder, const std::string& name, bool checkOnly) {
  FileIdentity checked;
  if (!openedJpegIdentity(folder, name, checked)) return JpegRemoval::NotAJpeg;
  if (checkOnly) return JpegRemoval::Removed;
  // The name may have been given to another file since it was read: only the file checked goes.
  struct stat now {};
  if (::fstatat(folder.fd(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
      identityOf(now) != checked) {
    return JpegRemoval::NotAJpeg;
  }
  return ::unlinkat(folder.fd(), name.c_str(), 0) == 0 ? JpegRemoval::Removed : JpegRemoval::Failed;
}

bool removeEmptySubFolder(const DirectoryHandle& parent, const std::string& name) {
  // The system removes only an empty folder, and never through a link (ENOTDIR).
  return ::unlinkat(parent.fd(), name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace velmora
