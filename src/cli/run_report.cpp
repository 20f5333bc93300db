#include "cli/run_report.h"

#include <cstdio>

namespace velmora::cli {

std::string summaryText(const OutcomeCounts& counts, double seconds) {
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f s", seconds);
  return std::to_string(counts.made) + " made, " + std::to_string(counts.refused) + " refused, " +
         std::to_string(counts.upToDate) + " up to date, " + elapsed;
}

void RunReport::record(const FileOutcome& outcome) {
  switch (outcome.result) {
    case FileResult::Made:
      ++counts_.made;
      break;
    case FileResult::Refused:
      ++counts_.refused;
      break;
    case FileResult::Skipped:
      ++counts_.upToDate;
      return;
    case FileResult::Failed:
      ++counts_.failed;
      return;
  }
  if (sharedTerminal_) sharedTerminal_->clear();
  // Flushed per line so that a script sees each file as it is done.
  out_ << outcome.logLine << std::endl;
}

}  // namespace velmora::cli
