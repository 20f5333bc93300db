#pragma once
// The options that serve the desktop: --xdg-cache SIZES, and --thumbnailer SIZE INPUT OUTPUT.

#include <string>
#include <vector>

#include "cli/command_line.h"

namespace velmora::cli {

// "normal,large": the cache's sizes, each once, in the order given. Throws UsageError.
std::vector<CacheSize> cacheSizesValue(const std::string& text);

// The rules that span the desktop options and the others, checked once all are read:
// `shaping` names the sizing, naming and filter options given, as typed. Reads the
// thumbnailer's SIZE from the first path. Throws UsageError.
void finishDesktopOptions(CommandLine& command, const std::vector<std::string>& shaping);

}  // namespace velmora::cli
