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
  // `excluded`: a folder never walked into (the output folder). Starts finding at once.
  ArchiveRequests(std::vector<PlannedRun> runs, std::vector<std::string> listedFiles,
                  const CommandLine& command, std::optional<FileIdentity> excluded);
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
    BatchSpelling spelling;
    SharedDirectory folder;          // a walked folder as listed, held open
    bool mirroredBelowRoot = false;  // its thumbnails go to a mirrored folder below --out
    NamingSettings naming;
    std::vector<std::string> names;          // a walked folder's files
    std::vector<std::string> files;          // listed file paths
    std::vector<ThumbnailRequest> requests;  // ready-made
    std::size_t taken = 0;
    std::size_t size() const { return names.size() + files.size() + requests.size(); }
  };

  ThumbnailRequest fileRequest(const std::string& path) const;
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
  const std::optional<FileIdentity> excluded_;
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
