#include "core/files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <utility>

#include "core/errors.h"
#include "core/files/temporary_files.h"

namespace velmora {

namespace {

std::atomic<WriteFunction> currentWrite{&::write};

// Creates the temporary file. A new thumbnail's mode is 0666 less the umask, as for any newly
// created file; one that replaces a file starts private and takes the old mode before any byte
// is written, so that a private thumbnail is never readable by others on its way.
int createTemporary(const std::string& destination, mode_t mode, std::string& temporary) {
  const std::string folder = folderOf(destination);
  for (;;) {
    temporary = temporaryPathIn(folder);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
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

// The regular file now at the destination, if any. A destination the user may not write to
// is not replaced behind their back.
std::optional<struct stat> existingDestination(const std::string& destination) {
  struct stat info {};
  if (::stat(destination.c_str(), &info) != 0) return std::nullopt;
  if (S_ISDIR(info.st_mode)) throw EFCreateError(destination, EISDIR);
  if (::access(destination.c_str(), W_OK) != 0) throw EFCreateError(destination, errno);
  if (!S_ISREG(info.st_mode)) return std::nullopt;
  return info;
}

bool giveTo(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group) == 0; }

// A replaced thumbnail keeps who may read it: the owner and group first (changing them may
// clear set-id bits), then the mode. Only the superuser may give a file to another user, but
// anyone may give it a group they belong to; what may not be given stays the runner's, and a
// mode that cannot be set leaves the file private.
void takeOverIdentity(int fd, const struct stat& old) {
  if (!giveTo(fd, old.st_uid, old.st_gid)) giveTo(fd, static_cast<uid_t>(-1), old.st_gid);
  ::fchmod(fd, old.st_mode & 07777);
}

}  // namespace

StagedFile::StagedFile(const std::string& destination, const std::vector<unsigned char>& bytes)
    : destination_(destination) {
  const std::optional<struct stat> old = existingDestination(destination);
  const int fd = createTemporary(destination, old ? 0600 : 0666, temporary_);
  if (old) takeOverIdentity(fd, *old);
  const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
    throw EWriteError();
  }
}

StagedFile::~StagedFile() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : destination_(std::move(other.destination_)), temporary_(std::move(other.temporary_)) {
  other.temporary_.clear();
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
  if (this != &other) {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    destination_ = std::move(other.destination_);
    temporary_ = std::move(other.temporary_);
    other.temporary_.clear();
  }
  return *this;
}

void StagedFile::putInPlace() {
  if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
    throw EFCreateError(destination_, errno);
  }
  temporary_.clear();
}

void replaceFileAtomically(const std::string& destination,
                           const std::vector<unsigned char>& bytes) {
  StagedFile staged(destination, bytes);
  staged.putInPlace();
}

void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

ScopedWriteFunction::ScopedWriteFunction(WriteFunction replacement)
    : previous_(currentWrite.exchange(replacement)) {}

ScopedWriteFunction::~ScopedWriteFunction() { currentWrite.store(previous_); }

}  // namespace velmora
