#pragma once
// Replacing a file so that no failure can leave it half written or change who may read it.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

// A file's new bytes, written and flushed to the disk under a hidden temporary name beside
// its destination, waiting to take the destination's name. When the destination exists, the
// temporary carries its mode, and its owner and group as far as the process may set them; a
// new file's mode follows the umask. The temporary is removed unless it was put in place.
class StagedFile {
 public:
  // Throws EFCreateError (naming the destination) when the file cannot be created, and
  // EWriteError when its bytes cannot be written (a full disk, an I/O error).
  StagedFile(const std::string& destination, const std::vector<unsigned char>& bytes);
  ~StagedFile();
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&& other) noexcept;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Renames the temporary over the destination (a destination with other hard links is split
  // from them, never written through). Throws EFCreateError; the old destination stays intact.
  void putInPlace();

  const std::string& destination() const { return destination_; }

 private:
  std::string destination_;
  std::string temporary_;  // empty once put in place
};

// Stages the bytes and puts them in place at once.
void replaceFileAtomically(const std::string& destination, const std::vector<unsigned char>& bytes);

// Flushes a folder's entries to the disk, so that names given by rename survive a power cut.
// Failures are ignored: the files themselves are already on the disk.
void syncFolder(const std::string& folder);

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
