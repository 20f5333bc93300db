#pragma once
// The requests of a whole command-line run, found on a thread of their own (walking trees,
// choosing the shard) while the first thumbnails are made.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "cli/run_plan.h"
#include "core/files/tree_walk.h"
#include "core/rules/output_naming.h"
#include "core/run/batch_runner.h"

namespace velmora::cli {

class ArchiveRequests : public RequestSource {
 public:
  // The runs, then the files of a list (--files-from), each run as planFileRun plans it;
  // `excluded`: folders never walked into (the output folders). Each request holds one output
  // per output rule of the command, in its order. Starts finding at once.
  ArchiveRequests(std::vector<PlannedRun> runs, std::vector<std::string> listedFiles,
                  const CommandLine& command, std::vector<FileIdentity> excluded);
  ~ArchiveRequests() override;  // stops finding

  ArchiveRequests(const ArchiveRequests&) = delete;
  ArchiveRequests& operator=(const ArchiveRequests&) = delete;

  std::optional<ThumbnailRequest> next() override;

  struct SkippedFolder {
    std::string path;
    int error;  // the system's error number
  };
  // The folders that could not be read, found since the last call.
  std::vector<SkippedFolder> takeSkippedFolders();

  std::size_t found() const { return found_; }    // JPEG files, before the shard is chosen
  std::size_t toMake() const { return toMake_; }  // requests given or waiting
  bool finding() const { return !finished_; }

 private:
  // Requests waiting for the run, a folder's (or a stretch of a list's) at a time. Walked
  // and listed files wait as their names or paths and become requests as they are taken, so
  // that a long wait holds little more than the paths. One of the three is filled.
  struct WaitingBatch {
    std::vector<BatchSpelling> spellings;  // a walked folder's, one per output
    std::vector<NamingSettings> namings;   // the same outputs' naming rules
    SharedDirectory folder;                // a walked folder as listed, held open
    bool belowRoot = false;          // a sub-folder of a walked tree: mirrored below each --out
    std::vector<std::string> names;  // a walked folder's files
    std::vector<std::string> files;  // listed file paths
    std::vector<ThumbnailRequest> requests;  // ready-made
    std::size_t taken = 0;
    std::size_t size() const { return names.size() + files.size() + requests.size(); }
  };

  // The request of `source` with an output per output rule, going to `destinations`.
  ThumbnailRequest requestOf(const std::string& source,
                             const std::vector<std::string>& destinations) const;
  ThumbnailRequest fileRequest(const std::string& path) const;
  ThumbnailRequest walkedRequest(const WaitingBatch& batch, std::size_t index) const;
  std::vector<ThumbnailRequest> folderRequests(const PlannedRun& run) const;
  void findListed();

  void findAll();
  void findTree(const PlannedRun& run);
  void findEverything();
  // The indexes of the keys (paths below the walked root) that are in this shard.
  std::vector<std::size_t> chosen(const std::vector<std::string>& keys);
  void queueChosen(std::vector<ThumbnailRequest> requests, const std::vector<std::string>& keys);
  // Hands a batch over to the run.
  void queue(WaitingBatch batch);

  const std::vector<PlannedRun> runs_;
  std::vector<std::string> listed_;  // handed over to the waiting batches as they are found
  const CommandLine& command_;
  const std::vector<FileIdentity> excluded_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::condition_variable taken_;
  std::deque<WaitingBatch> waiting_;
  std::vector<SkippedFolder> skipped_;
  std::exception_ptr findingError_;  // ends the run once the requests found before it are given
  std::atomic<std::size_t> found_{0};
  std::atomic<std::size_t> toMake_{0};
  std::atomic<bool> finished_{false};
  std::atomic<bool> stopping_{false};
  std::thread finder_;
};

}  // namespace velmora::cli
