#include "cli/thumbnail_command.h"

#include <sys/stat.h>

#include <cerrno>
#include <exception>
#include <ostream>

#include "core/batch_runner.h"
#include "core/errors.h"
#include "core/folder_listing.h"
#include "core/path_text.h"
#include "core/run_checks.h"

namespace velmora::cli {

namespace {

class StreamLog : public LogSink {
 public:
  explicit StreamLog(std::ostream& out) : out_(out) {}
  // Flushed per line so that a script sees each file as it is done.
  void append(const std::string& line) override { out_ << line << std::endl; }

 private:
  std::ostream& out_;
};

// A terminal run has no progress bar; the log lines show the progress.
class NoProgress : public ProgressSink {
 public:
  void advance() override {}
};

// A folder as the file list keeps it: no trailing separator, except for the root.
std::string folderForm(std::string path) {
  while (path.size() > 1 && endsWithSeparator(path)) path.pop_back();
  return path;
}

// One path's run, prepared before anything is written.
struct PlannedRun {
  std::string sourceFolder;  // also the tree path: the tool has no tree
  std::vector<std::string> listedNames;
  std::string selectedPath;  // empty for a folder run
};

PlannedRun planFolderRun(const std::string& path) {
  PlannedRun run;
  run.sourceFolder = folderForm(path);
  std::optional<std::vector<std::string>> names = listJpegFiles(run.sourceFolder);
  if (!names) throw UsageError("cannot read the folder \"" + path + "\"", false);
  run.listedNames = std::move(*names);
  return run;
}

PlannedRun planFileRun(const std::string& path) {
  PlannedRun run;
  const std::string::size_type lastSeparator = path.rfind(kPathSeparator);
  if (lastSeparator == std::string::npos) {
    run.sourceFolder = ".";
    run.listedNames = {path};
  } else {
    run.sourceFolder = folderForm(path.substr(0, lastSeparator + 1));
    run.listedNames = {path.substr(lastSeparator + 1)};
  }
  run.selectedPath = joinPath(run.sourceFolder, run.listedNames.front());
  return run;
}

PlannedRun planRun(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    throw UsageError("\"" + path + "\": " + systemErrorText(errno), false);
  }
  if (S_ISDIR(status.st_mode)) return planFolderRun(path);
  if (S_ISREG(status.st_mode)) return planFileRun(path);
  throw UsageError("\"" + path + "\" is neither a file nor a folder", false);
}

std::vector<ThumbnailRequest> unfilteredRequestsOf(const PlannedRun& run,
                                                   const CommandLine& command) {
  if (run.selectedPath.empty()) {
    return batchRequests(run.sourceFolder, run.listedNames, command.naming, command.sizing);
  }
  const std::string destination =
      singleImageDestination(run.selectedPath, run.sourceFolder, run.sourceFolder, command.naming);
  return {ThumbnailRequest{run.selectedPath, destination, command.sizing}};
}

std::vector<ThumbnailRequest> requestsOf(const PlannedRun& run, const CommandLine& command) {
  std::vector<ThumbnailRequest> requests = unfilteredRequestsOf(run, command);
  for (ThumbnailRequest& request : requests) request.filter = command.filter;
  return requests;
}

}  // namespace

int runThumbnailCommand(const CommandLine& command, std::ostream& out, std::ostream& err) {
  std::vector<PlannedRun> runs;
  for (const std::string& path : command.paths) {
    runs.push_back(planRun(path));
    const RunCheckResult check = checkRunPreconditions(
        {runs.back().listedNames.size(), command.naming, runs.back().sourceFolder});
    if (check != RunCheckResult::Pass) {
      err << runCheckMessage(check) << '\n';
      return kExitBadUsage;
    }
  }
  StreamLog log(out);
  NoProgress progress;
  RunOptions options;
  options.workers = command.workers;
  for (const PlannedRun& run : runs) {
    try {
      runThumbnails(requestsOf(run, command), log, progress, options);
    } catch (const std::exception& error) {
      out.flush();
      err << error.what() << '\n';
      return kExitFileFailed;
    }
  }
  return kExitDone;
}

}  // namespace velmora::cli
