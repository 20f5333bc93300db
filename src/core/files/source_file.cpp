#include "core/files/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/errors.h"

namespace velmora {

SourceFile::SourceFile(const std::string& path) {
  // Non-blocking open, so that a named pipe given as a source cannot hang the program.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw EFOpenError(path, errno);
  struct stat info {};
  int refusal = 0;
  if (::fstat(fd_, &info) != 0) {
    refusal = errno;
  } else if (S_ISDIR(info.st_mode)) {
    refusal = EISDIR;
  } else if (!S_ISREG(info.st_mode)) {
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

SourceFile::SourceFile(SourceFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

ssize_t SourceFile::readSome(unsigned char* buffer, std::size_t capacity) noexcept {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, capacity);
    if (got >= 0 || errno != EINTR) return got;
  }
}

}  // namespace velmora
