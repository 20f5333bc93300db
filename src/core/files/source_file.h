#pragma once
// An open source file, read as a stream: memory never follows the file's size.

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace velmora {

class SourceFile {
 public:
  // Opens the file for reading. Throws EFOpenError when it cannot be opened, and for a folder,
  // a device or a pipe, which are not pictures.
  explicit SourceFile(const std::string& path);
  ~SourceFile();
  SourceFile(SourceFile&& other) noexcept;
  SourceFile& operator=(SourceFile&&) = delete;
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // Reads the next bytes into the buffer: the count read, 0 at the end, -1 when the read fails.
  // Never throws, so that libjpeg's callbacks may call it.
  ssize_t readSome(unsigned char* buffer, std::size_t capacity) noexcept;

 private:
  int fd_;
};

}  // namespace velmora
