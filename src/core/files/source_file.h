#pragma once
// An open source file, read as a stream: memory never follows the file's size.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

#include "core/files/directory_handle.h"
#include "core/files/file_identity.h"

namespace velmora {

// Whether a link in the place of a folder's entry is read as the file it points to.
enum class LinkRule { Follow, Refuse };

class SourceFile {
 public:
  // Opens the file for reading; a link to a file is read as the file it points to. Throws
  // EFOpenError (naming `path`) when it cannot be opened, and for a folder, a device or a pipe,
  // which are not pictures.
  explicit SourceFile(const std::string& path);
  // The same for the file `name` of a folder held open (a walked folder): the file read is the
  // one in that folder, whatever happens to the folder's names meanwhile. A link refused
  // throws (ELOOP).
  SourceFile(const DirectoryHandle& folder, const std::string& name, const std::string& path,
             LinkRule links = LinkRule::Follow);
  ~SourceFile();
  SourceFile(SourceFile&& other) noexcept;
  SourceFile& operator=(SourceFile&&) = delete;
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // The opened file's identity and permission bits (of the file itself, not of a link to it).
  FileIdentity identity() const { return identityOf(status_); }
  mode_t mode() const { return status_.st_mode; }
  // The opened file's modification time.
  timespec modified() const { return status_.st_mtim; }

  // Reads the next bytes into the buffer: the count read, 0 at the end, -1 when the read fails.
  // Never throws, so that libjpeg's callbacks may call it.
  ssize_t readSome(unsigned char* buffer, std::size_t capacity) noexcept;
  // Reads bytes at `offset` without moving the position readSome reads from; as readSome.
  ssize_t readAt(unsigned char* buffer, std::size_t capacity, off_t offset) const noexcept;

 private:
  void checkOpened(const std::string& path);

  int fd_;
  struct stat status_ {};
};

}  // namespace velmora
