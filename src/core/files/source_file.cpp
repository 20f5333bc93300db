#include "core/files/source_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "core/errors.h"

namespace velmora {

namespace {

// Non-blocking, so that a named pipe given as a source cannot hang the program.
constexpr int kSourceFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;

}  // namespace

SourceFile::SourceFile(const std::string& path) : fd_(::open(path.c_str(), kSourceFlags)) {
  checkOpened(path);
}

SourceFile::SourceFile(const DirectoryHandle& folder, const std::string& name,
                       const std::string& path, LinkRule links)
    : fd_(::openat(
          folder.fd(), name.c_str(),
          links == LinkRule::Follow ? kSourceFlags : kSourceFlags | O_NOFOLLOW | O_NOCTTY)) {
  checkOpened(path);
}

void SourceFile::checkOpened(const std::string& path) {
  if (fd_ < 0) throw EFOpenError(path, errno);
  int refusal = 0;
  if (::fstat(fd_, &status_) != 0) {
    refusal = errno;
  } else if (S_ISDIR(status_.st_mode)) {
    refusal = EISDIR;
  } else if (!S_ISREG(status_.st_mode)) {
    // Only regular files have an end to read to; devices and pipes are not pictures.
    refusal = EINVAL;
  }
  if (refusal != 0) {
    ::close(fd_);
    throw EFOpenError(path, refusal);
  }
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

SourceFile::~SourceFile() {
  if (fd_ >= 0) ::close(fd_);
}

SourceFile::SourceFile(SourceFile&& other) noexcept : fd_(other.fd_), status_(other.status_) {
  other.fd_ = -1;
}

ssize_t SourceFile::readSome(unsigned char* buffer, std::size_t capacity) noexcept {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, capacity);
    if (got >= 0 || errno != EINTR) return got;
  }
}

ssize_t SourceFile::readAt(unsigned char* buffer, std::size_t capacity,
                           off_t offset) const noexcept {
  for (;;) {
    const ssize_t got = ::pread(fd_, buffer, capacity, offset);
    if (got >= 0 || errno != EINTR) return got;
  }
}

}  // namespace velmora
