#pragma once
// Running thumbnail requests in order, as both commands and the command-line tool do.

#include <optional>
#include <string>
#include <vector>

#include "core/rules/thumbnail_request.h"

namespace velmora {

class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void append(const std::string& line) = 0;
};

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // One file is finished (made or refused).
  virtual void advance() = 0;
};

// Requests as they come, for a run that starts before all of them are known.
class RequestSource {
 public:
  virtual ~RequestSource() = default;
  // The next request in run order, or nothing once there are no more; may wait for one.
  virtual std::optional<ThumbnailRequest> next() = 0;
};

struct RunOptions {
  unsigned workers = 1;  // files rendered at once; results are still committed in list order
};

// Makes one thumbnail per request, in order: one log line each, then one progress step.
// A refusal does not stop the run. The first error, in list order, ends it: the files before
// it are written and logged, nothing after it is written, and the error is rethrown.
void runThumbnails(const std::vector<ThumbnailRequest>& requests, LogSink& log,
                   ProgressSink& progress, const RunOptions& options = {});

// The same, taking the requests from `source` while the first ones are already being made;
// only the requests within the workers' look-ahead are held at once. An error of the source
// counts as the error of the request it failed to give.
void runThumbnails(RequestSource& source, LogSink& log, ProgressSink& progress,
                   const RunOptions& options = {});

}  // namespace velmora
