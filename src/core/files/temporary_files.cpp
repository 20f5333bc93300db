#include "core/files/temporary_files.h"

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
#include <fstream>
#include <iterator>
#include <random>

namespace velmora {

namespace {

constexpr char kPrefix[] = ".velmora-";
constexpr char kSuffix[] = ".tmp";
constexpr std::size_t kSystemDigits = 16;
constexpr std::size_t kRandomDigits = 8;

std::string fileText(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string linkText(const char* path) {
  char target[256];
  const ssize_t size = ::readlink(path, target, sizeof target);
  return size > 0 ? std::string(target, static_cast<std::size_t>(size)) : std::string();
}

// The machine (or, without a machine id, its host name), its boot, and the process-number
// space: two runs with the same process number on different systems never share all three.
std::string systemText() {
  std::string text = fileText("/etc/machine-id");
  if (text.empty()) text = fileText("/var/lib/dbus/machine-id");
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0) text += host;
  text += fileText("/proc/sys/kernel/random/boot_id");
  text += linkText("/proc/self/ns/pid");
  return text;
}

// FNV-1a, written as 16 hex digits.
std::string systemDigits() {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char byte : systemText()) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ull;
  }
  char digits[kSystemDigits + 1];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return digits;
}

const std::string& thisSystem() {
  static const std::string digits = systemDigits();
  return digits;
}

bool readHex(const char*& at, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, ++at) {
    if (!std::isxdigit(static_cast<unsigned char>(*at))) return false;
  }
  return true;
}

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

// The process id in the name of one of this system's temporaries, or 0 for any other name.
pid_t writerOf(const char* name) {
  if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) != 0) return 0;
  const char* at = name + sizeof kPrefix - 1;
  if (std::strncmp(at, thisSystem().c_str(), kSystemDigits) != 0) return 0;
  at += kSystemDigits;
  if (*at++ != '-') return 0;
  unsigned long long pid = 0;
  unsigned long long counter = 0;
  if (!readNumber(at, '-', pid) || !readNumber(at, '-', counter)) return 0;
  if (!readHex(at, kRandomDigits) || std::strcmp(at, kSuffix) != 0) return 0;
  if (pid == 0 || pid > static_cast<unsigned long long>(INT32_MAX)) return 0;
  return static_cast<pid_t>(pid);
}

bool processExists(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

std::string temporaryName() {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 random{std::random_device{}()};
  char name[80];
  std::snprintf(name, sizeof name, "%s%s-%d-%u-%08x%s", kPrefix, thisSystem().c_str(),
                static_cast<int>(::getpid()), counter.fetch_add(1), static_cast<unsigned>(random()),
                kSuffix);
  return name;
}

void sweepStaleTemporaries(const DirectoryHandle& folder) {
  DirectoryListing listing = listEntries(folder);
  if (!listing) return;
  while (const dirent* entry = ::readdir(listing.get())) {
    const pid_t writer = writerOf(entry->d_name);
    if (writer == 0 || writer == ::getpid() || processExists(writer)) continue;
    struct stat info {};
    if (::fstatat(folder.fd(), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(info.st_mode)) ::unlinkat(folder.fd(), entry->d_name, 0);
  }
}

}  // namespace velmora
