#pragma once
// Lists of paths handed over by other programs (--files-from).

#include <istream>
#include <string>
#include <vector>

namespace velmora::cli {

// The paths in `list`, each ended by `separator` (the last may lack it) and taken byte for
// byte, blanks included; empty entries name no file and are left out. Throws what stopped the
// reading (std::bad_alloc, std::ios_base::failure) rather than return part of the list.
std::vector<std::string> readPathList(std::istream& list, char separator);

}  // namespace velmora::cli
