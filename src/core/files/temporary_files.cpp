#include "core/files/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "core/files/path_text.h"

namespace velmora {

namespace {

constexpr char kPrefix[] = ".velmora-";
constexpr char kSuffix[] = ".tmp";
constexpr std::size_t kRandomDigits = 8;

// Reads decimal digits up to the stop byte; false when there are none or something else.
bool readNumber(const char*& at, char stop, unsigned long long& value) {
  const char* start = at;
  value = 0;
  while (*at >= '0' && *at <= '9') {
    if (at - start >= 19) return false;
    value = value * 10 + static_cast<unsigned>(*at - '0');
    ++at;
  }
  if (at == start || *at != stop) return false;
  ++at;
  return true;
}

// The process id in a name of the temporary pattern, or 0 for any other name.
pid_t writerOf(const char* name) {
  if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) != 0) return 0;
  const char* at = name + sizeof kPrefix - 1;
  unsigned long long pid = 0;
  unsigned long long counter = 0;
  if (!readNumber(at, '-', pid) || !readNumber(at, '-', counter)) return 0;
  for (std::size_t i = 0; i < kRandomDigits; ++i, ++at) {
    if (!std::isxdigit(static_cast<unsigned char>(*at))) return 0;
  }
  if (std::strcmp(at, kSuffix) != 0) return 0;
  if (pid == 0 || pid > static_cast<unsigned long long>(INT32_MAX)) return 0;
  return static_cast<pid_t>(pid);
}

bool processExists(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

std::string folderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind(kPathSeparator);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return std::string(1, kPathSeparator);
  return path.substr(0, slash);
}

std::string temporaryPathIn(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 random{std::random_device{}()};
  char name[64];
  std::snprintf(name, sizeof name, "%s%d-%u-%08x%s", kPrefix, static_cast<int>(::getpid()),
                counter.fetch_add(1), static_cast<unsigned>(random()), kSuffix);
  return joinPath(folder, name);
}

void sweepStaleTemporaries(const std::string& folder) {
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) return;
  DIR* listing = ::fdopendir(folderFd);
  if (listing == nullptr) {
    ::close(folderFd);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const pid_t writer = writerOf(entry->d_name);
    if (writer == 0 || writer == ::getpid() || processExists(writer)) continue;
    struct stat info {};
    if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(info.st_mode)) ::unlinkat(folderFd, entry->d_name, 0);
  }
  ::closedir(listing);
}

}  // namespace velmora
