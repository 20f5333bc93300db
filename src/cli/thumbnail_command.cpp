#include "cli/thumbnail_command.h"

#include <chrono>
#include <exception>
#include <memory>
#include <ostream>

#include "cli/archive_requests.h"
#include "cli/progress_line.h"
#include "cli/run_plan.h"
#include "cli/run_report.h"
#include "core/errors.h"
#include "core/files/directory_handle.h"
#include "core/rules/output_naming.h"
#include "core/rules/run_checks.h"
#include "core/run/batch_runner.h"
#include "core/run/output_prune.h"
#include "core/xdg/cache_fill.h"
#include "core/xdg/cache_location.h"

namespace velmora::cli {

namespace {

class NoProgress : public ProgressSink {
 public:
  void advance() override {}
};

// Passes the requests on, and the folders the walk skipped to the report as they come, from
// the thread that also draws the progress line.
class ReportingSource : public RequestSource {
 public:
  ReportingSource(ArchiveRequests& requests, RunReport& report)
      : requests_(requests), report_(report) {}

  std::optional<ThumbnailRequest> next() override {
    std::optional<ThumbnailRequest> request = requests_.next();
    reportSkippedFolders();
    return request;
  }

  void reportSkippedFolders() {
    for (const auto& folder : requests_.takeSkippedFolders()) {
      report_.folderSkipped(folder.path, folder.error);
    }
  }

 private:
  ArchiveRequests& requests_;
  RunReport& report_;
};

bool hasTree(const RunPlan& plan) {
  for (const PlannedRun& run : plan.runs) {
    if (run.kind == SourceKind::Tree) return true;
  }
  return false;
}

std::vector<std::string> treeRoots(const RunPlan& plan) {
  std::vector<std::string> roots;
  for (const PlannedRun& run : plan.runs) {
    if (run.kind == SourceKind::Tree) roots.push_back(run.sourceFolder);
  }
  return roots;
}

// The sizing of the output whose tree `output` is, as the run resolved its folder.
SizingRequest sizingOf(const CommandLine& command, const MirrorRoot& output) {
  for (const OutputRule& rule : command.outputs) {
    if (rule.naming.outputFolder == output.path) return rule.sizing;
  }
  return {};
}

// Each output's tree in the order the outputs were given, leaving the others' alone.
void pruneOutputs(const CommandLine& command, const std::vector<std::string>& roots,
                  const std::vector<MirrorRoot>& outputs, RunReport& report) {
  for (const MirrorRoot& output : outputs) {
    std::vector<FileIdentity> others;
    for (const MirrorRoot& other : outputs) {
      if (&other != &output) others.push_back(other.folder->identity());
    }
    const PruneResult result = pruneOutputTree({roots, output, std::move(others), command.shard,
                                                command.dryRun, sizingOf(command, output)});
    for (const PrunedPath& path : result.pruned) report.pruned(path, command.dryRun);
    for (const PruneError& error : result.errors) report.pruneFailed(error.path, error.error);
  }
}

}  // namespace

int runThumbnailCommand(const CommandLine& command, std::istream& in, std::ostream& out,
                        std::ostream& err, const Terminals& terminals) {
  const auto start = std::chrono::steady_clock::now();
  RunPlan plan = planCommand(command, in);
  if (plan.check != RunCheckResult::Pass) {
    err << runCheckMessage(plan.check) << '\n';
    return kExitBadUsage;
  }
  std::vector<std::string> roots = treeRoots(plan);
  // The run is the program's one user of decoders: its budget is the program's.
  DecoderMemoryBudget memory;
  RunOptions options{memory};
  // Every request of the run names each output folder as resolved here, so a folder created
  // under the trimmed name is the one written to.
  CommandLine resolved = command;
  std::vector<FileIdentity> excluded;
  for (OutputRule& output : resolved.outputs) {
    if (output.naming.mode != NamingMode::SameNameInChosenFolder) continue;
    output.naming.outputFolder = chosenOutputFolder(output.naming.outputFolder);
    if (!hasTree(plan)) continue;
    // Made now and held: the walk never enters it, and the mirrored folders are made in it. A
    // dry run makes nothing, but still leaves an existing one out of the walk.
    const std::string& folder = output.naming.outputFolder;
    DirectoryHandle root = command.dryRun ? openFolder(folder) : createFolders(folder);
    if (root.isOpen()) {
      excluded.push_back(root.identity());
      options.mirrorRoots.push_back(
          {folder, std::make_shared<const DirectoryHandle>(std::move(root))});
    }
  }
  ArchiveRequests requests(std::move(plan.runs), std::move(plan.listedFiles), resolved, excluded);
  std::unique_ptr<ProgressLine> progressLine;
  if (terminals.err && !command.quiet) {
    progressLine = std::make_unique<ProgressLine>(err, terminals.errColumns, [&requests] {
      return ProgressTotal{requests.toMake(), !requests.finding()};
    });
  }
  NoProgress noProgress;
  ProgressSink& progress = progressLine ? static_cast<ProgressSink&>(*progressLine) : noProgress;
  RunReport report({out, err, terminals.out, terminals.err}, progressLine.get());
  ReportingSource source(requests, report);
  options.workers = command.workers;
  options.keepGoing = command.keepGoing;
  options.skipUpToDate = command.update;
  options.dryRun = command.dryRun;
  bool ranToEnd = true;
  try {
    if (command.xdgCache.empty()) {
      runThumbnails(source, report, progress, options);
    } else {
      fillThumbnailCache(source, {command.xdgCache, thumbnailCacheFolder()}, report, progress,
                         options);
    }
  } catch (const Error& error) {
    ranToEnd = false;
    // Without -k the runner ends at a file's error, which the report has already named.
    if (command.keepGoing || report.counts().failed == 0) report.runFailed(error.what());
  } catch (const std::exception& error) {
    ranToEnd = false;
    report.runFailed(runErrorText(error));
  }
  if (progressLine) progressLine->clear();
  source.reportSkippedFolders();
  report.finishLog();
  if (!report.anyTrouble() && requests.found() == 0) {
    err << runCheckMessage(RunCheckResult::NoFiles) << '\n';
    return kExitBadUsage;
  }
  // A run cut short prunes nothing: the tree stays as the last whole run left it, apart from
  // the thumbnails made before the error. A source folder that is empty (a photo disk not
  // mounted) never gets this far, so it cannot empty the tree either.
  if (command.prune && !ranToEnd) {
    report.pruneLeftOut("the run ended early");
  } else if (command.prune && requests.found() == 0) {
    report.pruneLeftOut("no JPEG file was found");
  } else if (command.prune) {
    pruneOutputs(resolved, roots, options.mirrorRoots, report);
  }
  // Like the progress line, the summary is for a person at a terminal: scripts reading a pipe
  // or a file see only the log lines, the messages and the exit status.
  if (progressLine && requests.toMake() > 1) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    err << summaryText(report.counts(), seconds) << '\n';
  }
  return report.anyTrouble() ? kExitTrouble : kExitDone;
}

}  // namespace velmora::cli
