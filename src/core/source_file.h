#pragma once
// Reading a source file whole, as the thumbnail writer and the preview do.

#include <string>
#include <vector>

namespace velmora {

// All bytes of the file. Throws EFOpenError when it cannot be opened (a folder cannot be
// opened as a file either) and EReadError when it cannot be read to its end.
std::vector<unsigned char> readWholeFile(const std::string& path);

}  // namespace velmora
