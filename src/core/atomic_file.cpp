#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>

#include "core/errors.h"
#include "core/path_text.h"

namespace velmora {

namespace {

std::atomic<WriteFunction> currentWrite{&::write};

std::string folderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind(kPathSeparator);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return std::string(1, kPathSeparator);
  return path.substr(0, slash);
}

// A short hidden name: it must not end in .jpg or .jpeg (a folder listing would show it) and
// must stay within the name length limit however long the destination's own name is.
std::string temporaryName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 random{std::random_device{}()};
  char name[64];
  std::snprintf(name, sizeof name, ".velmora-%d-%u-%08x.tmp", static_cast<int>(::getpid()),
                counter.fetch_add(1), static_cast<unsigned>(random()));
  return joinPath(folder, name);
}

// Creates the temporary file; 0666 lets the process's umask decide the thumbnail's mode, as
// for any newly created file.
int createTemporary(const std::string& destination, std::string& temporary) {
  const std::string folder = folderOf(destination);
  for (;;) {
    temporary = temporaryName(folder);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) throw EFCreateError(destination, errno);
  }
}

bool writeAll(int fd, const std::vector<unsigned char>& bytes) {
  const WriteFunction write = currentWrite.load();
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A destination the user may not write to is not replaced behind their back.
void checkDestinationWritable(const std::string& destination) {
  struct stat info {};
  if (::stat(destination.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) throw EFCreateError(destination, EISDIR);
  if (::access(destination.c_str(), W_OK) != 0) throw EFCreateError(destination, errno);
}

}  // namespace

void replaceFileAtomically(const std::string& destination,
                           const std::vector<unsigned char>& bytes) {
  checkDestinationWritable(destination);
  std::string temporary;
  const int fd = createTemporary(destination, temporary);
  const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    ::unlink(temporary.c_str());
    throw EWriteError();
  }
  if (::rename(temporary.c_str(), destination.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw EFCreateError(destination, error);
  }
}

ScopedWriteFunction::ScopedWriteFunction(WriteFunction replacement)
    : previous_(currentWrite.exchange(replacement)) {}

ScopedWriteFunction::~ScopedWriteFunction() { currentWrite.store(previous_); }

}  // namespace velmora
