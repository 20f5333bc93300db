#pragma once
// Reading a PNG file's text chunks without its pixels.

#include <optional>
#include <string>
#include <vector>

#include "core/files/directory_handle.h"
#include "core/png/png_encoder.h"

namespace velmora {

// The tEXt, zTXt and iTXt chunks that come before the pixels of the held folder's file `name`,
// in file order; nothing when the file cannot be opened or is not a sound PNG up to its pixels.
// A link in its place is not followed.
std::optional<std::vector<PngText>> readPngTexts(const DirectoryHandle& folder,
                                                 const std::string& name);

// The text of the first chunk with the key, if any.
std::optional<std::string> pngText(const std::vector<PngText>& texts, const std::string& key);

}  // namespace velmora
