#include "core/files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

#include "core/errors.h"
#include "core/files/path_text.h"
#include "core/files/temporary_files.h"

namespace velmora {

namespace {

std::atomic<WriteFunction> currentWrite{&::write};

// The permission bits that stay out of every thumbnail: set-user-ID, set-group-ID, sticky.
constexpr mode_t kPermissionBits = 0777;

// Creates the temporary file in the folder, never through a link.
int createTemporary(const DirectoryHandle& folder, const std::string& destination, mode_t mode,
                    std::string& temporary) {
  for (;;) {
    temporary = temporaryName();
    const int fd = ::openat(folder.fd(), temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
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

// The entry now at the destination, itself (a link is not followed), if any.
std::optional<struct stat> entryAt(const DirectoryHandle& folder, const std::string& name) {
  struct stat info {};
  if (::fstatat(folder.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return info;
}

// The regular file a thumbnail replaces, if any. A destination the user may not write to is
// not replaced behind their back, and the source itself never.
std::optional<struct stat> replacedFile(const DirectoryHandle& folder, const std::string& name,
                                        const std::string& destination,
                                        const std::optional<FileIdentity>& source) {
  const std::optional<struct stat> entry = entryAt(folder, name);
  if (!entry) return std::nullopt;
  if (S_ISDIR(entry->st_mode)) throw EFCreateError(destination, EISDIR);
  if (!S_ISREG(entry->st_mode)) return std::nullopt;
  if (source && identityOf(*entry) == *source) throw ESameFile();
  if (::faccessat(folder.fd(), name.c_str(), W_OK, 0) != 0) {
    throw EFCreateError(destination, errno);
  }
  return entry;
}

bool giveTo(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group) == 0; }

// A replaced thumbnail keeps who may read it: the owner and group first (changing them may
// clear set-id bits), then the permission bits. Only the superuser may give a file to another
// user, but anyone may give it a group they belong to; what may not be given stays the
// runner's, and a mode that cannot be set leaves the file private.
void takeOverIdentity(int fd, const struct stat& old) {
  if (!giveTo(fd, old.st_uid, old.st_gid)) giveTo(fd, static_cast<uid_t>(-1), old.st_gid);
  ::fchmod(fd, old.st_mode & kPermissionBits);
}

// Set after the bytes are written, which would move the time on again; the access time stays.
bool takeTime(int fd, const std::optional<timespec>& modified) {
  if (!modified) return true;
  const timespec times[2] = {{0, UTIME_OMIT}, *modified};
  return ::futimens(fd, times) == 0;
}

// A new thumbnail's mode before the umask: the owner may read and write it; group and others
// only as far as the source lets them.
mode_t newFileMode(mode_t sourceMode) { return 0600 | (sourceMode & 0066); }

}  // namespace

StagedFile::StagedFile(DestinationFolders& folders, const std::string& destination,
                       const StagedSource& source, const std::vector<unsigned char>& bytes)
    : folders_(&folders),
      folder_(folders.folderOf(destination, source.folder, source.path)),
      destination_(destination),
      name_(nameOf(destination)),
      sourcePath_(source.path),
      source_(source.identity) {
  const DirectoryHandle& folder = folder_->handle();
  const std::optional<struct stat> old = replacedFile(folder, name_, destination, source_);
  // One that replaces a file starts private and takes the old mode before any byte is written,
  // so that a private thumbnail is never readable by others on its way.
  const int fd =
      createTemporary(folder, destination, old ? 0600 : newFileMode(source.mode), temporary_);
  if (old) takeOverIdentity(fd, *old);
  struct stat staged {};
  const bool written = ::fstat(fd, &staged) == 0 && writeAll(fd, bytes) &&
                       takeTime(fd, source.modified) && ::fsync(fd) == 0;
  int error = written ? 0 : errno;
  const bool closed = ::close(fd) == 0;
  if (!closed && error == 0) error = errno;
  if (!written || !closed) {
    removeTemporary();
    throw EWriteError(error);
  }
  staged_ = identityOf(staged);
}

StagedFile::~StagedFile() { removeTemporary(); }

StagedFile::StagedFile(StagedFile&& other) noexcept
    : folders_(other.folders_),
      folder_(std::move(other.folder_)),
      destination_(std::move(other.destination_)),
      name_(std::move(other.name_)),
      sourcePath_(std::move(other.sourcePath_)),
      source_(other.source_),
      temporary_(std::move(other.temporary_)),
      staged_(other.staged_) {
  other.temporary_.clear();
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
  if (this != &other) {
    removeTemporary();
    folders_ = other.folders_;
    folder_ = std::move(other.folder_);
    destination_ = std::move(other.destination_);
    name_ = std::move(other.name_);
    sourcePath_ = std::move(other.sourcePath_);
    source_ = other.source_;
    temporary_ = std::move(other.temporary_);
    staged_ = other.staged_;
    other.temporary_.clear();
  }
  return *this;
}

void StagedFile::removeTemporary() {
  if (temporary_.empty() || !folder_) return;
  ::unlinkat(folder_->handle().fd(), temporary_.c_str(), 0);
  temporary_.clear();
}

void StagedFile::putInPlace() {
  const DirectoryHandle& folder = folder_->handle();
  if (const std::optional<struct stat> present = entryAt(folder, name_)) {
    if (source_ && identityOf(*present) == *source_) throw ESameFile();
    folders_->checkNotWritten(identityOf(*present), destination_, sourcePath_);
  }
  if (::renameat(folder.fd(), temporary_.c_str(), folder.fd(), name_.c_str()) != 0) {
    throw EFCreateError(destination_, errno);
  }
  temporary_.clear();
  folder_->renamedInto();
  folders_->written(staged_, sourcePath_, folder_->path());
}

void replaceFileAtomically(const std::string& destination,
                           const std::vector<unsigned char>& bytes) {
  DestinationFolders folders;
  StagedFile staged(folders, destination, StagedSource{}, bytes);
  staged.putInPlace();
}

ScopedWriteFunction::ScopedWriteFunction(WriteFunction replacement)
    : previous_(currentWrite.exchange(replacement)) {}

ScopedWriteFunction::~ScopedWriteFunction() { currentWrite.store(previous_); }

}  // namespace velmora
