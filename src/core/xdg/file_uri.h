#pragma once
// How the desktop names a file in its thumbnail cache. Its readers are GLib programs, and a
// name that differs by one escaped byte is never found, so GLib itself makes the names.

#include <string>

namespace velmora {

// The canonical file:// URI of the path as GLib's file objects give it: made absolute against
// the current folder, "." and ".." and doubled separators taken out (links are not followed),
// each byte GLib does not leave as it is in a path (any byte above 127 among them, UTF-8 or not)
// escaped as %XX.
std::string fileUri(const std::string& path);

// The cache entry's file name for a URI: the MD5 of its bytes in lower-case hex, then ".png".
std::string cacheEntryName(const std::string& uri);

}  // namespace velmora
