#include "cli/run_report.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <system_error>

#include "cli/terminal_text.h"
#include "core/errors.h"

namespace velmora::cli {

namespace {

std::string counted(std::size_t count, const char* what) {
  return std::to_string(count) + " " + what + ", ";
}

}  // namespace

std::string summaryText(const OutcomeCounts& counts, double seconds) {
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f s", seconds);
  std::string text = counted(counts.made, "made") + counted(counts.refused, "refused") +
                     counted(counts.upToDate, "up to date") + counted(counts.failed, "failed");
  if (counts.truncated > 0) text += counted(counts.truncated, "cut short");
  if (counts.skippedFolders > 0) text += counted(counts.skippedFolders, "folders skipped");
  if (counts.pruned > 0) text += counted(counts.pruned, "pruned");
  return text + elapsed;
}

std::string runErrorText(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error)) return "Out of memory";
  // What std::thread throws when the system has no thread to give.
  const auto* system = dynamic_cast<const std::system_error*>(&error);
  if (system && system->code() == std::errc::resource_unavailable_try_again) {
    return "the workers could not start: " + system->code().message();
  }
  return error.what();
}

void RunReport::record(const FileOutcome& outcome) {
  switch (outcome.result) {
    case FileResult::Made:
      ++counts_.made;
      logLine(outcome.logLine);
      if (outcome.truncated) {
        ++counts_.truncated;
        message(outcome.source, "picture data ends early; the rest is grey");
      }
      for (const std::string& warning : outcome.warnings) message(outcome.source, warning);
      return;
    case FileResult::Refused:
      ++counts_.refused;
      logLine(outcome.logLine);
      return;
    case FileResult::Skipped:
      ++counts_.upToDate;
      if (!outcome.logLine.empty()) logLine(outcome.logLine);  // a dry run's
      return;
    case FileResult::Failed:
      ++counts_.failed;
      message(outcome.failedFile.empty() ? outcome.source : outcome.failedFile,
              outcome.reason.empty() ? outcome.error : outcome.error + ": " + outcome.reason);
      return;
  }
}

void RunReport::folderSkipped(const std::string& folder, int error) {
  ++counts_.skippedFolders;
  message(folder, "folder skipped: " + systemErrorText(error));
}

void RunReport::runFailed(const std::string& text) {
  runFailed_ = true;
  if (progress_) progress_->clear();
  streams_.err << "velmora-thumb: " << text << std::endl;
}

void RunReport::pruned(const PrunedPath& path, bool dryRun) {
  if (!path.folder) ++counts_.pruned;
  const char* what = path.folder ? (dryRun ? "folder would be pruned" : "folder pruned")
                                 : (dryRun ? "would be pruned" : "pruned");
  message(path.path, what);
}

void RunReport::pruneFailed(const std::string& path, int error) {
  pruneFailed_ = true;
  message(path, "pruning: " + systemErrorText(error));
}

void RunReport::pruneLeftOut(const std::string& reason) {
  if (progress_) progress_->clear();
  streams_.err << "velmora-thumb: nothing pruned: " << reason << std::endl;
}

void RunReport::finishLog() {
  errno = 0;
  streams_.out.flush();
  if (!streams_.out && logError_ == 0) logError_ = errno != 0 ? errno : EIO;
  if (logError_ == 0) return;
  if (progress_) progress_->clear();
  streams_.err << "velmora-thumb: the log could not be written: " << systemErrorText(logError_)
               << std::endl;
}

bool RunReport::anyTrouble() const {
  return counts_.failed > 0 || counts_.skippedFolders > 0 || logError_ != 0 || runFailed_ ||
         pruneFailed_;
}

void RunReport::message(const std::string& about, const std::string& text) {
  if (progress_) progress_->clear();
  streams_.err << "velmora-thumb: " << shownText(about + ": " + text, streams_.errTerminal)
               << std::endl;
}

// Flushed per line so that a script sees each file as it is done.
void RunReport::logLine(const std::string& line) {
  if (streams_.outTerminal && progress_) progress_->clear();
  errno = 0;
  streams_.out << shownText(line, streams_.outTerminal) << std::endl;
  if (!streams_.out && logError_ == 0) logError_ = errno != 0 ? errno : EIO;
}

}  // namespace velmora::cli
