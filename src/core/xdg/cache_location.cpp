#include "core/xdg/cache_location.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "core/files/path_text.h"
#include "core/version.h"

namespace velmora {

namespace {

bool isAbsolute(const char* path) { return path && path[0] == '/'; }

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    return found->pw_dir;
  }
  return "/";
}

}  // namespace

std::string thumbnailCacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const std::string base = isAbsolute(cache) ? cache : joinPath(homeFolder(), ".cache");
  return joinPath(base, "thumbnails");
}

std::string cacheSizeFolder(const std::string& cache, CacheSize size) {
  return joinPath(cache, cacheSizeName(size));
}

std::string cacheFailFolder(const std::string& cache) {
  return joinPath(joinPath(cache, "fail"), std::string("velmora-") + kVersion);
}

}  // namespace velmora
