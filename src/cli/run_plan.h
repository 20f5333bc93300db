#pragma once
// What a command-line run will do, found and checked before anything is written: each path
// becomes the run of a file, a folder or a tree, and every one passes the run checks.

#include <istream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "core/rules/run_checks.h"
#include "core/rules/source_checks.h"

namespace velmora::cli {

// One path's run.
struct PlannedRun {
  SourceKind kind = SourceKind::File;
  std::string sourceFolder;              // a folder's or tree's own path, a file's folder
  std::vector<std::string> listedNames;  // a folder's names, listed up front; a file's name
  std::string selectedPath;              // a file's path as given
};

struct RunPlan {
  std::vector<PlannedRun> runs;                 // the paths named on the command line, in order
  std::vector<std::string> listedFiles;         // then the files of --files-from, in its order
  RunCheckResult check = RunCheckResult::Pass;  // the first failing run check
};

// The single-image run of one file path.
PlannedRun planFileRun(const std::string& path);

// Plans every path of the command and checks each run. A list of "-" is read from
// `standardInput`. Throws UsageError for a path that is neither a readable folder nor a file,
// for a file path when pruning, and for a list that cannot be read.
RunPlan planCommand(const CommandLine& command, std::istream& standardInput);

}  // namespace velmora::cli
