#pragma once
// What a run tells its user: the log lines on standard output, and on standard error every
// file that failed or was cut short and every folder that was skipped, each named, then the
// summary's counts. Names are escaped on a terminal (terminal_text.h).

#include <cstddef>
#include <exception>
#include <ostream>
#include <string>

#include "cli/progress_line.h"
#include "core/run/batch_runner.h"
#include "core/run/output_prune.h"

namespace velmora::cli {

struct OutcomeCounts {
  std::size_t made = 0;
  std::size_t refused = 0;
  std::size_t upToDate = 0;
  std::size_t failed = 0;
  std::size_t truncated = 0;       // made, though their picture data ended early
  std::size_t skippedFolders = 0;  // could not be read, so their pictures were not looked at
  std::size_t pruned = 0;          // thumbnails removed because their source is gone
};

// "3 made, 0 refused, 2 up to date, 1 failed, 1.5 s", with the truncated pictures, the skipped
// folders and the pruned thumbnails when there are any.
std::string summaryText(const OutcomeCounts& counts, double seconds);

// The text of an error that is no file's own: "Out of memory" for std::bad_alloc, what the
// system says when a thread could not be started, the error's own text otherwise.
std::string runErrorText(const std::exception& error);

// The two output streams and what they are.
struct ReportStreams {
  std::ostream& out;
  std::ostream& err;
  bool outTerminal = false;
  bool errTerminal = false;
};

class RunReport : public LogSink {
 public:
  // `progress`: the progress line on standard error's terminal, or null; it is taken off before
  // anything is written to that terminal.
  RunReport(const ReportStreams& streams, ProgressLine* progress)
      : streams_(streams), progress_(progress) {}

  void record(const FileOutcome& outcome) override;
  // A folder the walk could not read, with the system's error number.
  void folderSkipped(const std::string& folder, int error);
  // An error that ended the run and is no file's own (out of memory, no threads).
  void runFailed(const std::string& text);
  // A thumbnail or an emptied folder pruned, or in a dry run one that would be.
  void pruned(const PrunedPath& path, bool dryRun);
  // A place of the output tree that could not be pruned, with the system's error number.
  void pruneFailed(const std::string& path, int error);
  // Pruning was left out, for the reason given.
  void pruneLeftOut(const std::string& reason);
  // Flushes the log; a log that could not be written in full is reported once.
  void finishLog();

  const OutcomeCounts& counts() const { return counts_; }
  // Whether anything went wrong: a file failed, a folder was skipped, the log was lost, a
  // place could not be pruned.
  bool anyTrouble() const;

 private:
  void message(const std::string& about, const std::string& text);
  void logLine(const std::string& line);

  ReportStreams streams_;
  ProgressLine* progress_;
  OutcomeCounts counts_;
  int logError_ = 0;  // the first failed write of the log, its system error number
  bool runFailed_ = false;
  bool pruneFailed_ = false;
};

}  // namespace velmora::cli
