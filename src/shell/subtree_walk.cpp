#include "shell/subtree_walk.h"

#include <sys/stat.h>

#include "shell/mount_table.h"

namespace velmora {

namespace {

std::set<dev_t> devicesOf(const QByteArrayList& mountPoints) {
  std::set<dev_t> devices;
  for (const QByteArray& point : mountPoints) {
    struct stat info {};
    if (::stat(point.constData(), &info) == 0) devices.insert(info.st_dev);
  }
  return devices;
}

}  // namespace

SubtreeWalk::SubtreeWalk(const ShellNamespace& shellNamespace) : namespace_(shellNamespace) {
  const QByteArray table = mountTable();
  // A device that also carries a listed volume stays open: "/" on an overlay, bind mounts.
  const std::set<dev_t> listed = devicesOf(listedMountPoints(table));
  for (dev_t device : devicesOf(leftOutMountPoints(table))) {
    if (!listed.count(device)) leftOutDevices_.insert(device);
  }
}

bool SubtreeWalk::admits(const TRzShellLocator& item) {
  const QByteArray path = namespace_.path(item);
  // The computer node has no path and no folder of its own; it holds the volumes.
  if (path.isEmpty()) return true;
  struct stat info {};
  if (::lstat(path.constData(), &info) != 0) return false;
  // The volume "/" and the tree's own nodes are folders; any link met on the way is not
  // followed, whatever it points at.
  if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) return false;
  if (leftOutDevices_.count(info.st_dev)) return false;
  return entered_.insert(identityOf(info)).second;
}

}  // namespace velmora
