#include "core/files/file_removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "core/errors.h"
#include "core/files/file_identity.h"

namespace velmora {

namespace {

// The start-of-image marker and the first byte of the next marker: every JPEG begins so.
bool startsAsJpeg(const SourceFile& file) {
  unsigned char start[3] = {};
  return file.readAt(start, sizeof start, 0) == static_cast<ssize_t>(sizeof start) &&
         start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF;
}

}  // namespace

JpegRemoval removeJpegFile(const DirectoryHandle& folder, const std::string& name, bool checkOnly,
                           const std::function<bool(SourceFile)>& wanted) {
  FileIdentity checked;
  try {
    // Opened non-blocking, so that a pipe put in its place cannot hold the run.
    SourceFile file(folder, name, name, LinkRule::Refuse);
    checked = file.identity();
    if (!startsAsJpeg(file) || !wanted(std::move(file))) return JpegRemoval::NotAJpeg;
  } catch (const Error&) {
    return JpegRemoval::NotAJpeg;
  }
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
