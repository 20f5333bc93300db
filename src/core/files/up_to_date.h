#pragma once
// Whether a thumbnail needs making again (--update).

#include <string>

namespace velmora {

// The thumbnail is a file (links followed) whose modification time is not older than its
// source's.
bool thumbnailUpToDate(const std::string& source, const std::string& thumbnail);

}  // namespace velmora
