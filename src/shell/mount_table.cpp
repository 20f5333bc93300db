#include "shell/mount_table.h"

#include <sys/stat.h>

#include <QFile>
#include <QSet>
#include <utility>
#include <vector>

namespace velmora {

namespace {

bool isPseudoFileSystem(const QByteArray& type) {
  static const QSet<QByteArray> pseudo = {
      "proc",        "sysfs",      "tmpfs",    "devtmpfs",  "devpts",
      "securityfs",  "pstore",     "bpf",      "debugfs",   "tracefs",
      "configfs",    "fusectl",    "mqueue",   "hugetlbfs", "autofs",
      "binfmt_misc", "rpc_pipefs", "nsfs",     "efivarfs",  "selinuxfs",
      "ramfs",       "overlay",    "squashfs", "nfsd",      "fuse.gvfsd-fuse",
      "fuse.portal", "cgroup",     "cgroup2"};
  return pseudo.contains(type) || type.startsWith("cgroup");
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

// The table escapes blanks, tabs, newlines and backslashes in paths as \ooo octal.
QByteArray unescapeMountField(const QByteArray& field) {
  QByteArray out;
  out.reserve(field.size());
  for (int i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3') {
      bool ok = false;
      const int value = field.mid(i + 1, 3).toInt(&ok, 8);
      if (ok) {
        out.append(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    out.append(field[i]);
  }
  return out;
}

// The table's mount points in order, each with whether it is worth showing.
std::vector<std::pair<QByteArray, bool>> mountPoints(const QByteArray& mountTable) {
  std::vector<std::pair<QByteArray, bool>> points;
  for (const QByteArray& line : mountTable.split('\n')) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 3) continue;
    const QByteArray point = unescapeMountField(fields[1]);
    if (!point.startsWith('/')) continue;
    points.emplace_back(point, !isPseudoFileSystem(fields[2]) && !isPrivateTree(point));
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

QByteArrayList mountedVolumes() {
  QFile table(QStringLiteral("/proc/self/mounts"));
  QByteArrayList points{"/"};
  if (!table.open(QIODevice::ReadOnly)) return points;
  points = listedMountPoints(table.readAll());
  QByteArrayList folders;
  for (const QByteArray& point : points) {
    struct stat info {};
    if (::stat(point.constData(), &info) == 0 && S_ISDIR(info.st_mode)) folders.append(point);
  }
  return folders;
}

}  // namespace velmora
