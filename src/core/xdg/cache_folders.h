#pragma once
// The cache's folders one run works in, held open: a folder per size asked, and the program's
// failure folder, made only when a first source fails.

#include <mutex>
#include <string>
#include <vector>

#include "core/files/directory_handle.h"
#include "core/xdg/cache_entry.h"
#include "core/xdg/cache_sizes.h"

namespace velmora {

class CacheFolders {
 public:
  // Creates the size folders that are missing (with the umask's mode) and holds them; holds
  // the failure folder when it exists. Throws EFCreateError naming a folder that cannot be made.
  CacheFolders(const std::string& cache, const std::vector<CacheSize>& sizes);

  // Where entry `name` of sizes[index], or its failure entry, goes.
  std::string entryPath(std::size_t index, const std::string& name) const;
  std::string failurePath(const std::string& name) const;

  // Whether the entry, or the failure entry, records the source as it is now. Safe on any
  // thread.
  bool entryIsCurrent(std::size_t index, const std::string& name, const SourceStamp& source) const;
  bool failureIsCurrent(const std::string& name, const SourceStamp& source) const;

  // Makes the failure folder if it is missing. Throws EFCreateError. Safe on any thread.
  void createFailureFolder();
  // Removes the failure entry, if any: the source has its thumbnails now.
  void removeFailure(const std::string& name) const;

 private:
  SharedDirectory failureFolder() const;

  std::vector<std::string> paths_;
  std::vector<DirectoryHandle> held_;
  std::string failurePath_;
  mutable std::mutex failureMutex_;
  SharedDirectory failure_;  // null until the folder exists
};

}  // namespace velmora
