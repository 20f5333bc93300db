#pragma once
// Running the command-line tool: the paths become runs of the engine's commands.

#include <cstddef>
#include <iosfwd>

#include "cli/command_line.h"

namespace velmora::cli {

inline constexpr int kExitDone = 0;        // every file made or refused
inline constexpr int kExitFileFailed = 1;  // an error ended the run at a file
inline constexpr int kExitBadUsage = 2;    // bad usage, a path that cannot be read, a failed check

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
// go to `err`; a list of "-" is read from `in`. Throws UsageError for a path that is neither a
// readable folder nor a file.
int runThumbnailCommand(const CommandLine& command, std::istream& in, std::ostream& out,
                        std::ostream& err, const Terminals& terminals);

}  // namespace velmora::cli
