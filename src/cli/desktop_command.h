#pragma once
// The desktop thumbnailer's call: velmora-thumb --thumbnailer SIZE INPUT OUTPUT.

#include <iosfwd>

#include "cli/command_line.h"

namespace velmora::cli {

// Writes the thumbnail of the command's INPUT to its OUTPUT. An error goes to `err`, naming
// the file; the exit status is kExitDone or kExitTrouble.
int runThumbnailerCommand(const CommandLine& command, std::ostream& err);

}  // namespace velmora::cli
