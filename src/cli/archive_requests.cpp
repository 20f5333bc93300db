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
                                 const CommandLine& command, std::vector<FileIdentity> excluded)
    : runs_(std::move(runs)),
      listed_(std::move(listedFiles)),
      command_(command),
      excluded_(std::move(excluded)) {
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
  ThumbnailRequest request = !batch.requests.empty() ? std::move(batch.requests[index])
                             : !batch.files.empty()  ? fileRequest(batch.files[index])
                                                     : walkedRequest(batch, index);
  if (batch.folder) request.sourceFolder = batch.folder;
  if (batch.taken == batch.size()) {
    waiting_.pop_front();
    taken_.notify_all();
  }
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
      queueChosen(folderRequests(run), run.listedNames);
    } else {
      queueChosen({fileRequest(run.selectedPath)}, {run.selectedPath});
    }
  }
  findListed();
}

ThumbnailRequest ArchiveRequests::requestOf(const std::string& source,
                                            const std::vector<std::string>& destinations) const {
  const std::vector<OutputRule>& outputs = command_.outputs;
  ThumbnailRequest request{source, destinations.front(), outputs.front().sizing};
  for (std::size_t i = 1; i < outputs.size(); ++i) {
    request.moreOutputs.push_back({destinations[i], outputs[i].sizing});
  }
  request.filter = command_.filter;
  request.quality = command_.quality;
  request.colour = command_.colour;
  request.keep = command_.keep;
  return request;
}

ThumbnailRequest ArchiveRequests::fileRequest(const std::string& path) const {
  const PlannedRun run = planFileRun(path);
  std::vector<std::string> destinations;
  for (const OutputRule& output : command_.outputs) {
    destinations.push_back(singleImageDestination(run.selectedPath, run.sourceFolder,
                                                  run.sourceFolder, output.naming));
  }
  return requestOf(run.selectedPath, destinations);
}

ThumbnailRequest ArchiveRequests::walkedRequest(const WaitingBatch& batch,
                                                std::size_t index) const {
  const std::string& name = batch.names[index];
  std::string source;
  std::vector<std::string> destinations;
  for (std::size_t output = 0; output < batch.namings.size(); ++output) {
    const NamingSettings& naming = batch.namings[output];
    // A mirrored folder is made as its first thumbnail goes in, so its name is taken as walked,
    // never trimmed as the name of a missing output folder would be.
    const bool mirrored = batch.belowRoot && naming.mode == NamingMode::SameNameInChosenFolder;
    const ThumbnailRequest named =
        batchRequest(batch.spellings[output], name, command_.outputs[output].sizing);
    source = named.sourcePath;
    destinations.push_back(mirrored ? joinPath(naming.outputFolder, name) : named.destinationPath);
  }
  return requestOf(source, destinations);
}

std::vector<ThumbnailRequest> ArchiveRequests::folderRequests(const PlannedRun& run) const {
  std::vector<std::vector<ThumbnailRequest>> named;
  for (const OutputRule& output : command_.outputs) {
    named.push_back(batchRequests(run.sourceFolder, run.listedNames, output.naming, output.sizing));
  }
  std::vector<ThumbnailRequest> requests;
  for (std::size_t file = 0; file < run.listedNames.size(); ++file) {
    std::vector<std::string> destinations;
    for (const std::vector<ThumbnailRequest>& output : named) {
      destinations.push_back(output[file].destinationPath);
    }
    requests.push_back(requestOf(named.front()[file].sourcePath, destinations));
  }
  return requests;
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
  while (!stopping_) {
    std::optional<WalkedFolder> folder = walk.next();
    if (!folder) return;
    const bool belowRoot = !folder->relativePath.empty();
    std::vector<NamingSettings> namings;
    for (const OutputRule& output : command_.outputs) {
      NamingSettings naming = output.naming;
      if (naming.mode == NamingMode::SameNameInChosenFolder && belowRoot) {
        naming.outputFolder =
            joinPath(chosenOutputFolder(naming.outputFolder), folder->relativePath);
      }
      namings.push_back(std::move(naming));
    }
    std::vector<BatchSpelling> spellings;
    for (const NamingSettings& naming : namings) {
      spellings.push_back(batchSpelling(folder->path, naming));
    }
    std::vector<std::string> keys;
    keys.reserve(folder->names.size());
    for (const std::string& name : folder->names) {
      keys.push_back(folder->relativePath.empty() ? name : joinPath(folder->relativePath, name));
    }
    const std::vector<std::size_t> kept = chosen(keys);
    WaitingBatch batch;
    batch.spellings = std::move(spellings);
    batch.folder = std::move(folder->handle);
    batch.belowRoot = belowRoot;
    batch.namings = std::move(namings);
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
