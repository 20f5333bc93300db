#include "shell/mount_table.h"

#include <mntent.h>
#include <sys/stat.h>

#include <QFile>
#include <QSet>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "core/files/kernel_file_systems.h"

namespace velmora {

namespace {

// Mounts that hold no volume a person would browse, beyond the kernel's own file systems.
bool isNotAVolume(const QByteArray& type) {
  static const QSet<QByteArray> notVolumes = {
      "tmpfs", "devtmpfs", "hugetlbfs", "autofs", "rpc_pipefs",  "efivarfs",
      "ramfs", "overlay",  "squashfs",  "nfsd",   "fuse.portal", "fuse.gvfsd-fuse"};
  return notVolumes.contains(type) || type.startsWith("cgroup") ||
         isKernelFileSystem(type.toStdString());
}

bool liesUnder(const QByteArray& path, const QByteArray& folder) {
  return path == folder || path.startsWith(folder + '/');
}

bool isPrivateTree(const QByteArray& mountPoint) {
  if (liesUnder(mountPoint, "/run/media")) return false;
  for (const char* tree : {"/proc", "/sys", "/dev", "/run"}) {
    if (liesUnder(mountPoint, tree)) return true;
  }
  return false;
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// The table's mount points in order, each with whether it is worth showing. getmntent reads
// the fields and undoes the table's \ooo escapes of blanks, tabs, newlines and backslashes.
std::vector<std::pair<QByteArray, bool>> mountPoints(const QByteArray& mountTable) {
  std::vector<std::pair<QByteArray, bool>> points;
  if (mountTable.isEmpty()) return points;
  QByteArray text = mountTable;
  const std::unique_ptr<FILE, FileCloser> table(
      fmemopen(text.data(), static_cast<std::size_t>(text.size()), "r"));
  if (!table) return points;
  mntent entry{};
  char buffer[4096];
  while (getmntent_r(table.get(), &entry, buffer, sizeof buffer) != nullptr) {
    const QByteArray point = entry.mnt_dir;
    if (!point.startsWith('/')) continue;
    points.emplace_back(point, !isNotAVolume(entry.mnt_type) && !isPrivateTree(point));
  }
  return points;
}

}  // namespace

QByteArrayList listedMountPoints(const QByteArray& mountTable) {
  QByteArrayList points{"/"};
  for (const auto& [point, shown] : mountPoints(mountTable)) {
    if (shown && !points.contains(point)) points.append(point);
  }
  return points;
}

QByteArrayList leftOutMountPoints(const QByteArray& mountTable) {
  QByteArrayList points;
  for (const auto& [point, shown] : mountPoints(mountTable)) {
    if (!shown && point != "/" && !points.contains(point)) points.append(point);
  }
  return points;
}

QByteArray mountTable() {
  QFile table(QStringLiteral("/proc/self/mounts"));
  return table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
}

QByteArrayList mountedVolumes() {
  const QByteArrayList points = listedMountPoints(mountTable());
  QByteArrayList folders;
  for (const QByteArray& point : points) {
    struct stat info {};
    if (::stat(point.constData(), &info) == 0 && S_ISDIR(info.st_mode)) folders.append(point);
  }
  return folders;
}

}  // namespace velmora
