#pragma once
// Which folders a walk through a whole subtree (the tree's "expand everything below" key) may
// enter. Such a walk must end, however the file system is built: it never follows a link to a
// folder, never enters a kernel or system file system (the mounts the computer node leaves
// out, such as /proc with its looping links), and never enters one folder twice, whatever
// path leads there again (bind mounts, the desktop below home, home below "/").

#include <sys/types.h>

#include <set>

#include "core/files/file_identity.h"
#include "shell/shell_namespace.h"

namespace velmora {

class SubtreeWalk {
 public:
  // Reads the kernel's mount table once, for the whole walk.
  explicit SubtreeWalk(const ShellNamespace& shellNamespace);

  // True when the walk may list and enter the item; each folder is admitted once.
  bool admits(const TRzShellLocator& item);

 private:
  const ShellNamespace& namespace_;
  std::set<dev_t> leftOutDevices_;
  std::set<FileIdentity> entered_;
};

}  // namespace velmora
