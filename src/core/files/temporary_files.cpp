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
constexpr std::size_t kPartDigits = 8;  // machine, boot, process-number space
constexpr std::size_t kSystemDigits = 3 * kPartDigits;
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

// FNV-1a, folded to 8 hex digits.
std::string digitsOf(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char byte : text) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ull;
  }
  char digits[kPartDigits + 1];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(hash ^ (hash >> 32)));
  return digits;
}

// The machine (its id and host name: containers may share an id baked into their image), its
// boot, and the process-number space: two runs with the same process number on different
// systems never share all three.
std::string systemDigits() {
  std::string machine = fileText("/etc/machine-id");
  if (machine.empty()) machine = fileText("/var/lib/dbus/machine-id");
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0) machine += host;
  return digitsOf(machine) + digitsOf(fileText("/proc/sys/kernel/random/boot_id")) +
         digitsOf(linkText("/proc/self/ns/pid"));
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

bool processExists(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// Whether a name is one of the program's temporaries whose writer is surely gone: made on this
// machine during an earlier boot, or in this boot and process-number space by a process that
// no longer exists. Another machine's or another space's are never judged.
bool isStale(const char* name) {
  if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) != 0) return false;
  const char* at = name + sizeof kPrefix - 1;
  const char* system = at;
  if (!readHex(at, kSystemDigits) || *at++ != '-') return false;
  unsigned long long pid = 0;
  unsigned long long counter = 0;
  if (!readNumber(at, '-', pid) || !readNumber(at, '-', counter)) return false;
  if (!readHex(at, kRandomDigits) || std::strcmp(at, kSuffix) != 0) return false;
  const std::string& ours = thisSystem();
  if (ours.compare(0, kPartDigits, system, kPartDigits) != 0) return false;
  if (ours.compare(kPartDigits, kPartDigits, system + kPartDigits, kPartDigits) != 0) return true;
  if (ours.compare(2 * kPartDigits, kPartDigits, system + 2 * kPartDigits, kPartDigits) != 0) {
    return false;
  }
  if (pid == 0 || pid > static_cast<unsigned long long>(INT32_MAX)) return false;
  const pid_t writer = static_cast<pid_t>(pid);
  return writer != ::getpid() && !processExists(writer);
}

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
    if (!isStale(entry->d_name)) continue;
    struct stat info {};
    if (::fstatat(folder.fd(), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(info.st_mode)) ::unlinkat(folder.fd(), entry->d_name, 0);
  }
}

}  // namespace velmora
