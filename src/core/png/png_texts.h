#pragma once
// Reading a PNG file's text chunks without its pixels.

#include <optional>
#include <string>
#include <vector>

#include "core/png/png_encoder.h"

namespace velmora {

// The tEXt, zTXt and iTXt chunks that come before the file's pixels, in file order; nothing
// when the file cannot be opened or is not a sound PNG up to its pixels. A link at `path` is not
// followed.
std::optional<std::vector<PngText>> readPngTexts(const std::string& path);

// The text of the first chunk with the key, if any.
std::optional<std::string> pngText(const std::vector<PngText>& texts, const std::string& key);

}  // namespace velmora
