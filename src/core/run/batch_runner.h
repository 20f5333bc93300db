#pragma once
// Running thumbnail requests in order, as both commands and the command-line tool do.

#include <optional>
#include <string>
#include <vector>

#include "core/files/destination_folders.h"
#include "core/jpeg/decoder_memory.h"
#include "core/rules/thumbnail_request.h"

namespace velmora {

enum class FileResult {
  Made,     // the thumbnail was written
  Refused,  // the sizing rules refused: nothing was written
  Skipped,  // the thumbnail was up to date (RunOptions::skipUpToDate)
  Failed,   // an error; nothing was written for the file
};

// What became of one output of a request.
struct FileOutcome {
  FileResult result = FileResult::Made;
  std::string source;       // as the request names it
  std::string destination;  // as the request names it
  std::string logLine;      // Made and Refused: the window's log line (a dry run's line, also
                            // for Skipped); empty otherwise
  std::string error;        // Failed: the error's text as the window's error box shows it
  std::string failedFile;   // Failed: the source, or the destination when that failed
  std::string reason;       // Failed to write: the system's reason, which the text leaves out
  bool truncated = false;   // Made: the picture data ended early; the rest of it is grey
  std::vector<std::string> warnings;  // Made: what was left out of the thumbnail, and why
};

// Receives one outcome per output, in request order and each request's output order, on the
// thread that called the run.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void record(const FileOutcome& outcome) = 0;
};

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // One source is finished: each of its outputs made, refused, skipped, or failed without
  // ending the run.
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
  // Shared with every other decoder of the program.
  DecoderMemoryBudget& memory;
  // Files rendered at once; results are still committed in list order.
  unsigned workers = 1;
  // An output's error is recorded as its outcome and the run goes on with the next output.
  bool keepGoing = false;
  // An output whose thumbnail is not older than its source is recorded as skipped; a source
  // whose outputs are all skipped is not read.
  bool skipUpToDate = false;
  // The folders trees are mirrored into (one per output that mirrors): their sub-folders are
  // made as their first thumbnails go in, and entered without following links.
  std::vector<MirrorRoot> mirrorRoots = {};
  // Only headers are read and the sizes decided: each outcome's log line says what would be
  // made, refused or skipped, and nothing is written.
  bool dryRun = false;
};

// Makes the thumbnails of each request from one decode of its source, in order: one outcome per
// output, then one progress step. A source that cannot be read is the error of each output it
// was to make. A refusal does not stop the run. Without keepGoing the first error, in list
// order, ends it: the outputs before it are written and recorded, the failing output is
// recorded as failed, nothing after it is written, and the error is rethrown. Errors that are not a
// file's own (out of memory, no threads) end the run whatever the options. When the run ends early,
// the decodes still in flight are stopped rather than waited for.
void runThumbnails(const std::vector<ThumbnailRequest>& requests, LogSink& log,
                   ProgressSink& progress, const RunOptions& options);

// The same, taking the requests from `source` while the first ones are already being made;
// only the requests within the workers' look-ahead are held at once. An error of the source
// counts as the error of the request it failed to give.
void runThumbnails(RequestSource& source, LogSink& log, ProgressSink& progress,
                   const RunOptions& options);

}  // namespace velmora
