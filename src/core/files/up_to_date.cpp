#include "core/files/up_to_date.h"

#include <fcntl.h>

namespace velmora {

namespace {

bool newerOrSame(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

}  // namespace

FileStatus fileStatusIn(const DirectoryHandle* folder, const std::string& name) {
  struct stat status {};
  if (::fstatat(folder != nullptr ? folder->fd() : AT_FDCWD, name.c_str(), &status, 0) != 0) {
    return std::nullopt;
  }
  return status;
}

bool thumbnailUpToDate(const FileStatus& source, const FileStatus& thumbnail) {
  return thumbnail && S_ISREG(thumbnail->st_mode) && source &&
         newerOrSame(thumbnail->st_mtim, source->st_mtim);
}

}  // namespace velmora
