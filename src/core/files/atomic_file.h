#pragma once
// Replacing a file so that no failure can leave it half written or change who may read it.

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/files/destination_folders.h"
#include "core/files/file_identity.h"

namespace velmora {

// The picture a thumbnail is made of, as it was opened.
struct StagedSource {
  std::string path;
  SharedDirectory folder;                // the folder it was opened in, when held
  std::optional<FileIdentity> identity;  // never replaced by its thumbnail
  mode_t mode = 0666;                    // a new thumbnail is never more readable
  std::optional<timespec> modified =
      std::nullopt;  // the time the thumbnail takes, when it keeps the date
};

// A file's new bytes, written and flushed to the disk under a hidden temporary name in its
// destination's folder as the run holds it, waiting to take the destination's name. When a
// regular file is at the destination, the temporary carries its permission bits (never the
// set-id and sticky bits), and its owner and group as far as the process may set them; a new
// file's mode is the umask's, less the read and write bits the source does not grant to its
// group and others. It takes the source's modification time when the source carries one. The
// temporary is removed unless it was put in place.
class StagedFile {
 public:
  // Throws EFCreateError (naming the destination) when the file cannot be created, ESameFile
  // when the destination is the source itself, and EWriteError when its bytes cannot be
  // written (a full disk, an I/O error).
  StagedFile(DestinationFolders& folders, const std::string& destination,
             const StagedSource& source, const std::vector<unsigned char>& bytes);
  ~StagedFile();
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&& other) noexcept;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Renames the temporary over the destination (a destination with other hard links is split
  // from them, never written through; a link there is replaced, never followed). Throws
  // ESameFile when the file now there is the source, EDestinationTaken when the run already
  // wrote it, and EFCreateError; the old destination stays intact.
  void putInPlace();

  const std::string& destination() const { return destination_; }

 private:
  void removeTemporary();

  DestinationFolders* folders_;
  std::shared_ptr<DestinationFolder> folder_;
  std::string destination_;
  std::string name_;
  std::string sourcePath_;
  std::optional<FileIdentity> source_;
  std::string temporary_;  // empty once put in place
  FileIdentity staged_;
};

// Stages the bytes and puts them in place at once, in a folder of the user's naming.
void replaceFileAtomically(const std::string& destination, const std::vector<unsigned char>& bytes);

// Test seam for failing writes. Every write of a staged file goes through this function, which
// has the contract of POSIX write(2): it returns the number of bytes written (possibly fewer
// than asked) or -1 with errno set. Tests install one that fails, for example with ENOSPC, to
// play a full disk.
using WriteFunction = ssize_t (*)(int fd, const void* data, std::size_t size);

// Installs a write function for the scope's lifetime and restores the previous one after.
// Only tests install one; the normal function is ::write.
class ScopedWriteFunction {
 public:
  explicit ScopedWriteFunction(WriteFunction replacement);
  ~ScopedWriteFunction();
  ScopedWriteFunction(const ScopedWriteFunction&) = delete;
  ScopedWriteFunction& operator=(const ScopedWriteFunction&) = delete;

 private:
  WriteFunction previous_;
};

}  // namespace velmora
