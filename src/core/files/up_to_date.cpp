#include "core/files/up_to_date.h"

#include <sys/stat.h>

namespace velmora {

namespace {

bool newerOrSame(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

}  // namespace

bool thumbnailUpToDate(const std::string& source, const std::string& thumbnail) {
  struct stat made {};
  struct stat original {};
  return stat(thumbnail.c_str(), &made) == 0 && S_ISREG(made.st_mode) &&
         stat(source.c_str(), &original) == 0 && newerOrSame(made.st_mtim, original.st_mtim);
}

}  // namespace velmora
