#pragma once
// What a run tells its user: the log lines on standard output, and the counts the summary
// shows, both taken from the runner's outcomes.

#include <cstddef>
#include <ostream>
#include <string>

#include "cli/progress_line.h"
#include "core/run/batch_runner.h"

namespace velmora::cli {

struct OutcomeCounts {
  std::size_t made = 0;
  std::size_t refused = 0;
  std::size_t upToDate = 0;
  std::size_t failed = 0;
};

// "3 made, 0 refused, 2 up to date, 1.5 s"
std::string summaryText(const OutcomeCounts& counts, double seconds);

class RunReport : public LogSink {
 public:
  // `sharedTerminal`: the progress line when standard output shares its terminal; it is taken
  // off before a log line is written.
  RunReport(std::ostream& out, ProgressLine* sharedTerminal)
      : out_(out), sharedTerminal_(sharedTerminal) {}

  void record(const FileOutcome& outcome) override;

  const OutcomeCounts& counts() const { return counts_; }

 private:
  std::ostream& out_;
  ProgressLine* sharedTerminal_;
  OutcomeCounts counts_;
};

}  // namespace velmora::cli
