#pragma once
// Running the command-line tool: the paths become runs of the engine's commands.

#include <iosfwd>

#include "cli/command_line.h"

namespace velmora::cli {

inline constexpr int kExitDone = 0;        // every file made or refused
inline constexpr int kExitFileFailed = 1;  // an error ended the run at a file
inline constexpr int kExitBadUsage = 2;    // bad usage, a path that cannot be read, a failed check

// A folder path runs as the batch command over its listed JPEG files; a file path runs as the
// single-image command in its folder. Every path is listed and checked before any file is
// written; then they run one after another. Log lines go to `out`, messages to `err`.
// Throws UsageError for a path that is neither a readable folder nor a file.
int runThumbnailCommand(const CommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace velmora::cli
