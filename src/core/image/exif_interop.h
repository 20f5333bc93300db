#pragma once
// The interoperability index of an EXIF block, which cameras set to "R03" when the photo's
// pixels are Adobe RGB (1998) and no ICC profile says so.

#include <cstddef>

namespace velmora {

// True when the EXIF APP1 payload's interoperability directory (reached from IFD0 through the
// EXIF directory) holds InteroperabilityIndex "R03". Anything unreadable gives false.
bool exifMarksAdobeRgb(const unsigned char* payload, std::size_t size);

}  // namespace velmora
