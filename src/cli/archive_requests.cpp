#include "cli/archive_requests.h"

#include <algorithm>
#include <utility>

#include "core/files/path_text.h"
#include "core/rules/output_naming.h"
#include "core/rules/shard.h"

namespace velmora::cli {

namespace {

// Batches waiting at once: each walked folder's holds the folder open, so the walk waits for
// the run rather than holding thousands of folders.
constexpr std::size_t kBatchesWaiting = 64;

}  // namespace

ArchiveRequests::ArchiveRequests(std::vector<PlannedRun> runs, std::vector<std::string> listedFiles,
                                 const CommandLine& command, std::optional<FileIdentity> excluded)
    : runs_(std::move(runs)),
      listed_(std::move(listedFiles)),
      command_(command),
      excluded_(excluded) {
  finder_ = std::thread([this] { findAll(); });
}

ArchiveRequests::~ArchiveRequests() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  taken_.notify_all();
  finder_.join();
}

std::optional<ThumbnailRequest> ArchiveRequests::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  arrived_.wait(lock, [&] { return !waiting_.empty() || finished_; });
  if (waiting_.empty()) {
    if (findingError_) std::rethrow_exception(std::exchange(findingError_, nullptr));
    return std::nullopt;
  }
  WaitingBatch& batch = waiting_.front();
  const std::size_t index = batch.taken++;
  ThumbnailRequest request =
      !batch.requests.empty() ? std::move(batch.requests[index])
      : !batch.files.empty()  ? fileRequest(batch.files[index])
                              : batchRequest(batch.spelling, batch.names[index], command_.sizing);
  if (batch.folder) request.sourceFolder = batch.folder;
  // A mirrored folder is made as its first thumbnail goes in, so its name is taken as walked,
  // never trimmed as the name of a missing output folder would be.
  if (batch.mirroredBelowRoot) {
    request.destinationPath = joinPath(batch.naming.outputFolder, batch.names[index]);
  }
  if (batch.taken == batch.size()) {
    waiting_.pop_front();
    taken_.notify_all();
  }
  request.filter = command_.filter;
  request.quality = command_.quality;
  request.colour = command_.colour;
  request.keep = command_.keep;
  return request;
}

std::vector<ArchiveRequests::SkippedFolder> ArchiveRequests::takeSkippedFolders() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(skipped_, {});
}

// On the finder's own thread: an error here (out of memory) must not end the process, so it
// waits for the run, which stops with it after the requests found before it.
void ArchiveRequests::findAll() {
  try {
    findEverything();
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    findingError_ = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  arrived_.notify_all();
}

void ArchiveRequests::findEverything() {
  for (const PlannedRun& run : runs_) {
    if (stopping_) break;
    if (run.kind == SourceKind::Tree) {
      findTree(run);
    } else if (run.kind == SourceKind::Folder) {
      queueChosen(
          batchRequests(run.sourceFolder, run.listedNames, command_.naming, command_.sizing),
          run.listedNames);
    } else {
      queueChosen({fileRequest(run.selectedPath)}, {run.selectedPath});
    }
  }
  findListed();
}

ThumbnailRequest ArchiveRequests::fileRequest(const std::string& path) const {
  const PlannedRun run = planFileRun(path);
  const std::string destination =
      singleImageDestination(run.selectedPath, run.sourceFolder, run.sourceFolder, command_.naming);
  return ThumbnailRequest{run.selectedPath, destination, command_.sizing};
}

void ArchiveRequests::findListed() {
  // A stretch of the list at a time: the keys made to choose from stay few.
  constexpr std::size_t kStretch = 1024;
  for (std::size_t start = 0; start < listed_.size() && !stopping_; start += kStretch) {
    const std::size_t end = std::min(listed_.size(), start + kStretch);
    std::vector<std::string> keys;
    for (std::size_t index = start; index < end; ++index) {
      keys.push_back(planFileRun(listed_[index]).selectedPath);
    }
    WaitingBatch batch;
    for (const std::size_t index : chosen(keys)) {
      batch.files.push_back(std::move(listed_[start + index]));
    }
    queue(std::move(batch));
  }
  listed_ = {};
}

void ArchiveRequests::findTree(const PlannedRun& run) {
  TreeWalk walk(run.sourceFolder, excluded_, [this](const std::string& folder, int error) {
    std::lock_guard<std::mutex> lock(mutex_);
    skipped_.push_back({folder, error});
  });
  const bool mirrored = command_.naming.mode == NamingMode::SameNameInChosenFolder;
  while (!stopping_) {
    std::optional<WalkedFolder> folder = walk.next();
    if (!folder) return;
    NamingSettings naming = command_.naming;
    if (mirrored && !folder->relativePath.empty()) {
      naming.outputFolder = joinPath(chosenOutputFolder(naming.outputFolder), folder->relativePath);
    }
    std::vector<std::string> keys;
    keys.reserve(folder->names.size());
    for (const std::string& name : folder->names) {
      keys.push_back(folder->relativePath.empty() ? name : joinPath(folder->relativePath, name));
    }
    const std::vector<std::size_t> kept = chosen(keys);
    WaitingBatch batch;
    batch.spelling = batchSpelling(folder->path, naming);
    batch.folder = std::move(folder->handle);
    batch.mirroredBelowRoot = mirrored && !folder->relativePath.empty();
    batch.naming = naming;
    for (const std::size_t index : kept) batch.names.push_back(std::move(folder->names[index]));
    queue(std::move(batch));
  }
}

std::vector<std::size_t> ArchiveRequests::chosen(const std::vector<std::string>& keys) {
  found_ += keys.size();
  std::vector<std::size_t> kept;
  for (std::size_t index = 0; index < keys.size() && !stopping_; ++index) {
    if (inShard(keys[index], command_.shard)) kept.push_back(index);
  }
  return kept;
}

void ArchiveRequests::queueChosen(std::vector<ThumbnailRequest> requests,
                                  const std::vector<std::string>& keys) {
  WaitingBatch batch;
  for (const std::size_t index : chosen(keys)) {
    batch.requests.push_back(std::move(requests[index]));
  }
  queue(std::move(batch));
}

void ArchiveRequests::queue(WaitingBatch batch) {
  if (batch.size() == 0) return;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    taken_.wait(lock, [&] { return waiting_.size() < kBatchesWaiting || stopping_; });
    toMake_ += batch.size();
    waiting_.push_back(std::move(batch));
  }
  arrived_.notify_all();
}

}  // namespace velmora::cli
