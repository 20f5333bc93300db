#pragma once
// The requests of a whole command-line run, found on a thread of their own (walking trees,
// choosing the shard, skipping what is up to date) while the first thumbnails are made.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "core/batch_runner.h"
#include "core/output_naming.h"
#include "core/tree_walk.h"

namespace velmora::cli {

enum class RunKind { File, Folder, Tree };

// One path's run, prepared before anything is written.
struct PlannedRun {
  RunKind kind = RunKind::File;
  std::string sourceFolder;              // a folder's or tree's own path, a file's folder
  std::vector<std::string> listedNames;  // a folder's names, listed up front; a file's name
  std::string selectedPath;              // a file's path as given
};

// Whether a file belongs to the shard, by a hash of its path below its walked root (the
// path as given for a file named on its own) that is the same on every machine.
bool inShard(const std::string& keyPath, const Shard& shard);

// Creates the folder and any missing folder above it, with the umask's mode. A failure shows
// when the first thumbnail cannot be created there.
void createFolders(const std::string& folder);

class ArchiveRequests : public RequestSource {
 public:
  // `excluded`: a folder never walked into (the output folder). Starts finding at once.
  ArchiveRequests(std::vector<PlannedRun> runs, const CommandLine& command,
                  std::optional<FolderIdentity> excluded);
  ~ArchiveRequests() override;  // stops finding

  ArchiveRequests(const ArchiveRequests&) = delete;
  ArchiveRequests& operator=(const ArchiveRequests&) = delete;

  std::optional<ThumbnailRequest> next() override;

  // Messages about folders that could not be read, found since the last call.
  std::vector<std::string> takeMessages();

  std::size_t found() const { return found_; }        // JPEG files, before shard and update
  std::size_t toMake() const { return toMake_; }      // requests given or waiting
  std::size_t upToDate() const { return upToDate_; }  // skipped by --update
  bool finding() const { return !finished_; }

 private:
  // Requests waiting for the run, a folder's at a time. A walked folder keeps only the names
  // of its files and makes their requests as they are taken, so that a long wait holds
  // little more than the names.
  struct WaitingBatch {
    std::string treePath;
    NamingSettings naming;
    std::vector<std::string> names;
    std::vector<ThumbnailRequest> requests;  // ready-made instead of names
    std::size_t taken = 0;
    std::size_t size() const { return requests.empty() ? names.size() : requests.size(); }
  };

  void findAll();
  void findTree(const PlannedRun& run);
  // The indexes of the requests of this shard that are not up to date (keys: their paths
  // below the walked root).
  std::vector<std::size_t> chosen(const std::vector<ThumbnailRequest>& requests,
                                  const std::vector<std::string>& keys);
  void queueChosen(std::vector<ThumbnailRequest> requests, const std::vector<std::string>& keys);
  // Hands a batch over to the run.
  void queue(WaitingBatch batch);

  const std::vector<PlannedRun> runs_;
  const CommandLine& command_;
  const std::optional<FolderIdentity> excluded_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<WaitingBatch> waiting_;
  std::vector<std::string> messages_;
  std::atomic<std::size_t> found_{0};
  std::atomic<std::size_t> toMake_{0};
  std::atomic<std::size_t> upToDate_{0};
  std::atomic<bool> finished_{false};
  std::atomic<bool> stopping_{false};
  std::thread finder_;
};

}  // namespace velmora::cli
