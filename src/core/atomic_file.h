#pragma once
// Replacing a file so that no failure can leave it half written.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

// Writes the bytes to a new file beside the destination, under a hidden temporary name that no
// JPEG listing picks up, flushes it to the disk and renames it over the destination. On any
// failure the temporary file is removed and an existing destination is left as it was.
// Throws EFCreateError (naming the destination) when the file cannot be created or put in
// place, and EWriteError when its bytes cannot be written (a full disk, an I/O error).
void replaceFileAtomically(const std::string& destination, const std::vector<unsigned char>& bytes);

// Test seam for failing writes. Every write of replaceFileAtomically goes through this
// function, which has the contract of POSIX write(2): it returns the number of bytes written
// (possibly fewer than asked) or -1 with errno set. Tests install one that fails, for example
// with ENOSPC, to play a full disk.
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
