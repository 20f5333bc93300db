#include "cli/thumbnail_command.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <ostream>

#include "cli/archive_requests.h"
#include "cli/path_list.h"
#include "cli/progress_line.h"
#include "core/run/batch_runner.h"
#include "core/errors.h"
#include "core/files/folder_listing.h"
#include "core/rules/output_naming.h"
#include "core/files/path_text.h"
#include "core/rules/run_checks.h"
#include "core/thumbnail/thumbnail_writer.h"

namespace velmora::cli {

namespace {

// A refusal's log line starts as refusalLine's does.
bool isRefusal(const std::string& line) {
  static const std::string empty = refusalLine("");
  static const std::string start = empty.substr(0, empty.find("只能缩小"));
  return line.compare(0, start.size(), start) == 0;
}

class StreamLog : public LogSink {
 public:
  StreamLog(std::ostream& out, ProgressLine* sharedTerminal)
      : out_(out), sharedTerminal_(sharedTerminal) {}

  // Flushed per line so that a script sees each file as it is done.
  void append(const std::string& line) override {
    if (sharedTerminal_) sharedTerminal_->clear();
    out_ << line << std::endl;
    ++(isRefusal(line) ? refused_ : made_);
  }

  std::size_t made() const { return made_; }
  std::size_t refused() const { return refused_; }

 private:
  std::ostream& out_;
  ProgressLine* sharedTerminal_;
  std::size_t made_ = 0;
  std::size_t refused_ = 0;
};

class NoProgress : public ProgressSink {
 public:
  void advance() override {}
};

// Passes the requests on, and the walk's messages to standard error as they come, from the
// thread that also draws the progress line.
class ReportingSource : public RequestSource {
 public:
  ReportingSource(ArchiveRequests& requests, std::ostream& err, ProgressLine* progress)
      : requests_(requests), err_(err), progress_(progress) {}

  std::optional<ThumbnailRequest> next() override {
    std::optional<ThumbnailRequest> request = requests_.next();
    report();
    return request;
  }

  void report() {
    std::vector<std::string> messages = requests_.takeMessages();
    if (messages.empty()) return;
    if (progress_) progress_->clear();
    for (const std::string& message : messages) err_ << message << '\n';
    err_.flush();
  }

 private:
  ArchiveRequests& requests_;
  std::ostream& err_;
  ProgressLine* progress_;
};

PlannedRun planFolderRun(const std::string& path, bool recursive) {
  PlannedRun run;
  run.sourceFolder = folderForm(path);
  if (recursive) {
    run.kind = RunKind::Tree;
    return run;
  }
  run.kind = RunKind::Folder;
  std::optional<std::vector<std::string>> names = listJpegFiles(run.sourceFolder);
  if (!names) throw UsageError("cannot read the folder \"" + path + "\"", false);
  run.listedNames = std::move(*names);
  return run;
}

PlannedRun planRun(const std::string& path, bool recursive) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    throw UsageError("\"" + path + "\": " + systemErrorText(errno), false);
  }
  if (S_ISDIR(status.st_mode)) return planFolderRun(path, recursive);
  if (S_ISREG(status.st_mode)) return planFileRun(path);
  throw UsageError("\"" + path + "\" is neither a file nor a folder", false);
}

std::vector<std::string> listedPaths(const CommandLine& command) {
  const char separator = command.nullSeparated ? '\0' : '\n';
  if (*command.filesFrom == "-") return readPathList(std::cin, separator);
  std::ifstream list(*command.filesFrom, std::ios::binary);
  if (!list) {
    throw UsageError(
        "cannot read the list \"" + *command.filesFrom + "\": " + systemErrorText(errno), false);
  }
  return readPathList(list, separator);
}

// The real path of an existing folder, or nothing.
std::optional<std::string> realFolder(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return std::nullopt;
  std::string text = resolved;
  std::free(resolved);
  return text;
}

// A mirror into a folder that holds the tree could land on the tree's own pictures
// (photos/photos/a.jpg mirrored from photos into . gives photos/a.jpg).
bool holdsTree(const std::string& outputFolder, const std::string& root) {
  const std::optional<std::string> output = realFolder(outputFolder);
  const std::optional<std::string> tree = realFolder(root);
  if (!output || !tree) return false;
  const std::string above = endsWithSeparator(*output) ? *output : *output + kPathSeparator;
  return tree->compare(0, above.size(), above) == 0;
}

// The run check of one planned run; a tree's files are only known as it is walked, so its
// count is checked for the whole run at the end.
RunCheckResult checkRun(const PlannedRun& run, const CommandLine& command) {
  const std::size_t listed = run.kind == RunKind::Tree ? 1 : run.listedNames.size();
  return checkRunPreconditions({listed, command.naming, run.sourceFolder});
}

std::string summaryText(std::size_t made, std::size_t refused, std::size_t upToDate,
                        double seconds) {
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f s", seconds);
  return std::to_string(made) + " made, " + std::to_string(refused) + " refused, " +
         std::to_string(upToDate) + " up to date, " + elapsed;
}

}  // namespace

int runThumbnailCommand(const CommandLine& command, std::ostream& out, std::ostream& err,
                        const Terminals& terminals) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<PlannedRun> runs;
  bool hasTree = false;
  for (const std::string& path : command.paths) {
    runs.push_back(planRun(path, command.recursive));
    hasTree = hasTree || runs.back().kind == RunKind::Tree;
  }
  std::vector<std::string> listed;
  if (command.filesFrom) listed = listedPaths(command);
  if (runs.empty() && listed.empty()) {
    err << runCheckMessage(RunCheckResult::NoFiles) << '\n';
    return kExitBadUsage;
  }
  const bool mirrored = command.naming.mode == NamingMode::SameNameInChosenFolder;
  const std::string outputFolder = chosenOutputFolder(command.naming.outputFolder);
  for (const PlannedRun& run : runs) {
    RunCheckResult check = checkRun(run, command);
    if (check == RunCheckResult::Pass && mirrored && run.kind == RunKind::Tree &&
        holdsTree(outputFolder, run.sourceFolder)) {
      check = RunCheckResult::SameFolder;
    }
    if (check != RunCheckResult::Pass) {
      err << runCheckMessage(check) << '\n';
      return kExitBadUsage;
    }
  }
  for (const std::string& path : listed) {
    const RunCheckResult check = checkRun(planFileRun(path), command);
    if (check != RunCheckResult::Pass) {
      err << runCheckMessage(check) << '\n';
      return kExitBadUsage;
    }
  }
  std::optional<FolderIdentity> excluded;
  if (mirrored && hasTree) {
    createFolders(outputFolder);
    excluded = folderIdentityOf(outputFolder);
  }

  // Every request of the run names the output folder as resolved here, so a folder created
  // under the trimmed name is the one written to.
  CommandLine resolved = command;
  if (mirrored) resolved.naming.outputFolder = outputFolder;
  ArchiveRequests requests(std::move(runs), std::move(listed), resolved, excluded);
  std::unique_ptr<ProgressLine> progressLine;
  if (terminals.err && !command.quiet) {
    progressLine = std::make_unique<ProgressLine>(err, terminals.errColumns, [&requests] {
      return ProgressTotal{requests.toMake(), !requests.finding()};
    });
  }
  NoProgress noProgress;
  ProgressSink& progress = progressLine ? static_cast<ProgressSink&>(*progressLine) : noProgress;
  StreamLog log(out, terminals.out ? progressLine.get() : nullptr);
  ReportingSource source(requests, err, progressLine.get());
  RunOptions options;
  options.workers = command.workers;
  int status = kExitDone;
  try {
    runThumbnails(source, log, progress, options);
  } catch (const std::exception& error) {
    out.flush();
    if (progressLine) progressLine->clear();
    err << error.what() << '\n';
    status = kExitFileFailed;
  }
  if (progressLine) progressLine->clear();
  source.report();
  if (status == kExitDone && requests.found() == 0) {
    err << runCheckMessage(RunCheckResult::NoFiles) << '\n';
    return kExitBadUsage;
  }
  // Like the progress line, the summary is for a person at a terminal: scripts reading a pipe
  // or a file see only the log lines and the errors, as before.
  if (progressLine && requests.toMake() + requests.upToDate() > 1) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    err << summaryText(log.made(), log.refused(), requests.upToDate(), seconds) << '\n';
  }
  return status;
}

}  // namespace velmora::cli
