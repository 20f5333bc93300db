#include "core/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/errors.h"

namespace velmora {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { ::close(fd_); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

constexpr std::size_t kReadChunk = 1 << 20;

}  // namespace

std::vector<unsigned char> readWholeFile(const std::string& path) {
  // Non-blocking open, so that a named pipe given as a source cannot hang the program.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw EFOpenError(path, errno);
  FileDescriptor file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) throw EFOpenError(path, errno);
  if (S_ISDIR(info.st_mode)) throw EFOpenError(path, EISDIR);
  // Only regular files have an end to read to; devices and pipes are not pictures.
  if (!S_ISREG(info.st_mode)) throw EFOpenError(path, EINVAL);

  // One byte beyond the size seen now, so that the read meeting the end needs no growth; a file
  // that grows while it is read is still read to its end.
  std::vector<unsigned char> bytes(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(used + std::max(used, kReadChunk));
    const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EReadError();
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  bytes.resize(used);
  return bytes;
}

}  // namespace velmora
