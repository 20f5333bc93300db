#include "cli/thumbnail_command.h"

#include <chrono>
#include <exception>
#include <memory>
#include <ostream>

#include "cli/archive_requests.h"
#include "cli/progress_line.h"
#include "cli/run_plan.h"
#include "cli/run_report.h"
#include "core/files/directory_handle.h"
#include "core/rules/output_naming.h"
#include "core/rules/run_checks.h"
#include "core/run/batch_runner.h"
#include "core/xdg/cache_fill.h"
#include "core/xdg/cache_location.h"

namespace velmora::cli {

namespace {

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

bool hasTree(const RunPlan& plan) {
  for (const PlannedRun& run : plan.runs) {
    if (run.kind == SourceKind::Tree) return true;
  }
  return false;
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
  const bool mirrored = command.naming.mode == NamingMode::SameNameInChosenFolder;
  const std::string outputFolder = chosenOutputFolder(command.naming.outputFolder);
  // The run is the program's one user of decoders: its budget is the program's.
  DecoderMemoryBudget memory;
  RunOptions options{memory};
  std::optional<FileIdentity> excluded;
  if (mirrored && hasTree(plan)) {
    // Made now and held: the walk never enters it, and the mirrored folders are made in it.
    DirectoryHandle root = createFolders(outputFolder);
    if (root.isOpen()) {
      excluded = root.identity();
      options.mirrorRoot = {outputFolder, std::make_shared<const DirectoryHandle>(std::move(root))};
    }
  }

  // Every request of the run names the output folder as resolved here, so a folder created
  // under the trimmed name is the one written to.
  CommandLine resolved = command;
  if (mirrored) resolved.naming.outputFolder = outputFolder;
  ArchiveRequests requests(std::move(plan.runs), std::move(plan.listedFiles), resolved, excluded);
  std::unique_ptr<ProgressLine> progressLine;
  if (terminals.err && !command.quiet) {
    progressLine = std::make_unique<ProgressLine>(err, terminals.errColumns, [&requests] {
      return ProgressTotal{requests.toMake(), !requests.finding()};
    });
  }
  NoProgress noProgress;
  ProgressSink& progress = progressLine ? static_cast<ProgressSink&>(*progressLine) : noProgress;
  RunReport report(out, terminals.out ? progressLine.get() : nullptr);
  ReportingSource source(requests, err, progressLine.get());
  options.workers = command.workers;
  options.skipUpToDate = command.update;
  int status = kExitDone;
  try {
    if (command.xdgCache.empty()) {
      runThumbnails(source, report, progress, options);
    } else {
      fillThumbnailCache(source, {command.xdgCache, thumbnailCacheFolder()}, report, progress,
                         options);
    }
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
  if (progressLine && requests.toMake() > 1) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    err << summaryText(report.counts(), seconds) << '\n';
  }
  return status;
}

}  // namespace velmora::cli
