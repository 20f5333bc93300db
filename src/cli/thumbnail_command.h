#pragma once
// Running the command-line tool: the paths become runs of the engine's commands.

#include <cstddef>
#include <iosfwd>

#include "cli/command_line.h"

namespace velmora::cli {

inline constexpr int kExitDone = 0;  // every file made, refused or up to date
// A file failed, a folder could not be read, the log could not be written, or the run ran out
// of memory.
inline constexpr int kExitTrouble = 1;
inline constexpr int kExitBadUsage = 2;  // bad usage, a path that cannot be read, a failed check

// Which of the two output streams is a terminal.
struct Terminals {
  bool out = false;
  bool err = false;
  std::size_t errColumns = 80;  // the width of standard error's terminal
};

// A folder path runs as the batch command over its listed JPEG files (its whole tree with -r);
// a file path, named or listed, runs as the single-image command in its folder. Every path is
// checked before any file is written; trees are walked while the first files are made. Log
// lines go to `out`; messages, the progress line (when `err` is a terminal) and the summary
// go to `err`, every error and warning naming its file; a list of "-" is read from `in`. Throws
// UsageError for a path that is neither a readable folder nor a file.
int runThumbnailCommand(const CommandLine& command, std::istream& in, std::ostream& out,
                        std::ostream& err, const Terminals& terminals);

}  // namespace velmora::cli
