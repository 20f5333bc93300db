#pragma once
// Feeds libjpeg from an open file a buffer at a time, so that memory never follows the file's
// size and a file that is not a JPEG fails after its first bytes. The end of the file behaves
// as libjpeg's own sources do: a warning and an inserted end marker.

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "core/files/source_file.h"

namespace velmora {

struct FileSource {
  static constexpr std::size_t kBufferBytes = 128 * 1024;

  jpeg_source_mgr pub{};
  SourceFile file;
  std::vector<JOCTET> buffer = std::vector<JOCTET>(kBufferBytes);
  std::size_t bytesRead = 0;
  bool primed = false;

  explicit FileSource(SourceFile opened);

  // The next buffer's byte count, or -1 when the read failed. Never throws.
  ssize_t refill() noexcept;
};

}  // namespace velmora
