#include "core/xdg/cache_fill.h"

#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <utility>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/destination_folders.h"
#include "core/jpeg/decode_limits.h"
#include "core/png/png_encoder.h"
#include "core/run/ordered_work.h"
#include "core/run/worker_thread.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "core/xdg/cache_entry.h"
#include "core/xdg/cache_folders.h"
#include "core/xdg/cache_render.h"
#include "core/xdg/file_uri.h"

namespace velmora {

namespace {

// As in runThumbnails: enough files ahead that no worker waits behind one long file.
constexpr std::size_t kFilesInFlightPerWorker = 8;

// What a worker holds besides its decoder share: its stack, its buffers, and the pictures and
// PNG files of one source up to the largest size (3 MiB of pixels, as much again encoded).
constexpr std::uint64_t kWorkerBytes = kWorkerStackBytes + (8 << 20);

// Keeps the folders the run creates private to its owner, as the cache's readers expect, and
// gives the process its own mask back after.
class PrivateFileMask {
 public:
  PrivateFileMask() : previous_(::umask(077)) {}
  ~PrivateFileMask() { ::umask(previous_); }
  PrivateFileMask(const PrivateFileMask&) = delete;
  PrivateFileMask& operator=(const PrivateFileMask&) = delete;

 private:
  mode_t previous_;
};

// One source's entries: their name, and the sizes to make.
struct EntryPlan {
  SourceStamp stamp;
  std::string name;
  std::vector<std::size_t> sizes;  // indexes into the sizes asked
};

// A worker's part of one request.
struct CacheAttempt {
  bool skipped = false;
  std::vector<StagedFile> entries;
  std::optional<StagedFile> failure;  // the failure entry, when the source could not be read
  std::string name;                   // the entries' name, in every folder
  bool truncated = false;             // as CachePictures::truncated
  std::vector<std::string> warnings;  // as CachePictures::warnings
  std::exception_ptr error;           // a file's own error (velmora::Error)
};

class CacheFill {
 public:
  CacheFill(const CacheFillSettings& settings, const RunOptions& options,
            const DecodeLimits& limits)
      : settings_(settings),
        options_(options),
        limits_(limits),
        cache_(settings.cacheFolder, settings.sizes) {}

  CacheAttempt attempt(const ThumbnailRequest& request) {
    CacheAttempt result;
    try {
      const std::optional<EntryPlan> plan = planEntries(request.sourcePath);
      if (!plan) {
        result.skipped = true;
        return result;
      }
      result.name = plan->name;
      stageEntries(request.sourcePath, *plan, result);
    } catch (Error& error) {
      error.setFile(request.sourcePath);
      result.error = std::current_exception();
    }
    return result;
  }

  void commit(const ThumbnailRequest& request, CacheAttempt& attempted, LogSink& log,
              ProgressSink& progress) {
    FileOutcome outcome;
    outcome.source = request.sourcePath;
    if (attempted.skipped) {
      outcome.result = FileResult::Skipped;
      log.record(outcome);
      progress.advance();
      return;
    }
    std::string entry;  // the entry being put in place
    try {
      if (attempted.error) {
        if (attempted.failure) putFailureInPlace(*attempted.failure);
        std::rethrow_exception(attempted.error);
      }
      for (StagedFile& staged : attempted.entries) {
        entry = staged.destination();
        staged.putInPlace();
      }
    } catch (const Error& error) {
      recordFailure(outcome, error, entry, log);
      if (!options_.keepGoing) throw;
      progress.advance();
      return;
    }
    cache_.removeFailure(attempted.name);
    // One line a source, as in any run: the entry of the first size asked; the other sizes'
    // entries have the same name in their own folders.
    outcome.destination = attempted.entries.front().destination();
    outcome.logLine = successLine(request.sourcePath, outcome.destination);
    outcome.truncated = attempted.truncated;
    outcome.warnings = attempted.warnings;
    log.record(outcome);
    progress.advance();
  }

 private:
  // The entries to make, or nothing when the run has made them already (the file was named
  // twice, perhaps spelled two ways), or when --update finds them all current (or finds the
  // source's failure entry current: it is not tried again until it changes).
  std::optional<EntryPlan> planEntries(const std::string& sourcePath) {
    EntryPlan plan;
    plan.stamp = stampOf(sourcePath);
    plan.name = cacheEntryName(plan.stamp.uri);
    if (!claim(plan.name)) return std::nullopt;
    const bool update = options_.skipUpToDate;
    if (update && cache_.failureIsCurrent(plan.name, plan.stamp)) return std::nullopt;
    for (std::size_t index = 0; index < settings_.sizes.size(); ++index) {
      if (update && cache_.entryIsCurrent(index, plan.name, plan.stamp)) continue;
      plan.sizes.push_back(index);
    }
    if (plan.sizes.empty()) return std::nullopt;
    return plan;
  }

  // True the first time the run meets the entry name.
  bool claim(const std::string& name) {
    std::lock_guard<std::mutex> lock(claimedMutex_);
    return claimed_.insert(name).second;
  }

  void stageEntries(const std::string& sourcePath, const EntryPlan& plan, CacheAttempt& result) {
    std::vector<std::int32_t> limits;
    for (const std::size_t index : plan.sizes) {
      limits.push_back(cacheSizePixels(settings_.sizes[index]));
    }
    CachePictures rendered;
    try {
      rendered = renderCachePictures(sourcePath, limits, limits_);
    } catch (const Error&) {
      result.error = std::current_exception();
      stageFailure(sourcePath, plan, result);
      return;
    }
    result.truncated = rendered.truncated;
    result.warnings = rendered.warnings;
    const std::vector<PngText> texts = entryTexts(plan.stamp, rendered.shown);
    for (std::size_t i = 0; i < plan.sizes.size(); ++i) {
      result.entries.emplace_back(folders_, cache_.entryPath(plan.sizes[i], plan.name),
                                  stagedSource(sourcePath),
                                  encodeEntry(rendered.pictures[i], texts));
    }
  }

  // A write error names the entry it could not write, with the system's reason.
  static void recordFailure(FileOutcome& outcome, const Error& error, const std::string& entry,
                            LogSink& log) {
    outcome.result = FileResult::Failed;
    outcome.error = error.what();
    outcome.failedFile = outcome.source;
    if (const auto* writeError = dynamic_cast<const EWriteError*>(&error)) {
      if (!entry.empty()) outcome.failedFile = entry;
      if (writeError->systemError() != 0)
        outcome.reason = systemErrorText(writeError->systemError());
    } else if (dynamic_cast<const EFCreateError*>(&error) && !entry.empty()) {
      outcome.failedFile = entry;
    }
    log.record(outcome);
  }

  // Entries are private whatever the source's mode: the cache is its owner's alone.
  static StagedSource stagedSource(const std::string& sourcePath) {
    StagedSource source;
    source.path = sourcePath;
    source.mode = 0600;
    return source;
  }

  // The failure entry is the cache's note that the source was tried; a cache that cannot take
  // it only means the source is tried again next time.
  void stageFailure(const std::string& sourcePath, const EntryPlan& plan, CacheAttempt& result) {
    try {
      cache_.createFailureFolder();
      result.failure.emplace(folders_, cache_.failurePath(plan.name), stagedSource(sourcePath),
                             failureEntry(plan.stamp));
    } catch (const Error&) {
    }
  }

  static void putFailureInPlace(StagedFile& failure) {
    try {
      failure.putInPlace();
    } catch (const Error&) {
    }
  }

  static std::vector<unsigned char> encodeEntry(const RgbImage& picture,
                                                const std::vector<PngText>& texts) {
    PngEncoder encoder(picture.width, picture.height, texts);
    for (std::int32_t y = 0; y < picture.height; ++y) {
      encoder.writeRow(picture.pixels.data() + static_cast<std::size_t>(y) * picture.rowBytes());
    }
    return encoder.finish();
  }

  const CacheFillSettings& settings_;
  const RunOptions& options_;
  const DecodeLimits& limits_;
  CacheFolders cache_;
  std::mutex claimedMutex_;
  std::unordered_set<std::string> claimed_;  // the entry names of the run's sources so far
  DestinationFolders folders_;               // flushed to the disk as the run lets go of them
};

}  // namespace

void fillThumbnailCache(RequestSource& source, const CacheFillSettings& settings, LogSink& log,
                        ProgressSink& progress, const RunOptions& options) {
  const PrivateFileMask privateFolders;
  OrderedWorkPlan plan;
  plan.workers = options.memory.workersThatFit(options.workers, kWorkerBytes);
  plan.lookAhead = plan.workers > 1 ? kFilesInFlightPerWorker * plan.workers : 1;
  StopSignal stop;
  plan.stop = &stop;
  const DecodeLimits limits{options.memory, &stop};
  CacheFill fill(settings, options, limits);
  std::vector<ThumbnailRequest> inFlight(plan.lookAhead);
  const auto slotOf = [&](std::size_t index) -> ThumbnailRequest& {
    return inFlight[index % inFlight.size()];
  };
  runOrderedStream<CacheAttempt>(
      plan,
      [&](std::size_t index) -> std::optional<std::size_t> {
        std::optional<ThumbnailRequest> request = source.next();
        if (!request) return std::nullopt;
        slotOf(index) = std::move(*request);
        return kNoPrerequisite;
      },
      [&](std::size_t index) { return fill.attempt(slotOf(index)); },
      [&](std::size_t index, CacheAttempt attempted) {
        fill.commit(slotOf(index), attempted, log, progress);
      });
}

}  // namespace velmora
