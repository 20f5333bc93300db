#pragma once
// What a desktop cache entry says about its source, and whether it still holds.

#include <cstdint>
#include <string>
#include <vector>

#include "core/files/directory_handle.h"
#include "core/png/png_encoder.h"
#include "core/rules/thumbnail_sizing.h"

namespace velmora {

// The source as an entry records it.
struct SourceStamp {
  std::string uri;            // fileUri of the source's path
  std::int64_t modified = 0;  // whole seconds since the epoch
  std::uint64_t size = 0;     // bytes
};

// Reads the source file's time and size (following links, as the desktop does). Throws
// EFOpenError when the file cannot be reached.
SourceStamp stampOf(const std::string& path);

// The text chunks of an entry: Thumb::URI, Thumb::MTime, Thumb::Size, Thumb::Mimetype,
// Thumb::Image::Width and ::Height (the picture as displayed), Software.
std::vector<PngText> entryTexts(const SourceStamp& source, PixelSize shown);

// The failure entry of a source that could not be read: a 1 x 1 picture with Thumb::URI,
// Thumb::MTime and Software.
std::vector<unsigned char> failureEntry(const SourceStamp& source);

// True when the held folder's entry `name` is a PNG recording this URI and modification time;
// the desktop takes any other entry as stale.
bool entryIsCurrent(const DirectoryHandle& folder, const std::string& name,
                    const SourceStamp& source);

}  // namespace velmora
