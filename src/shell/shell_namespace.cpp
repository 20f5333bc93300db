#include "shell/shell_namespace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/files/directory_handle.h"
#include "shell/mount_table.h"
#include "shell/natural_compare.h"

namespace velmora {

namespace {

const QString kRootName = QStringLiteral("桌面");

QByteArray joinFolder(const QByteArray& folder, const QByteArray& name) {
  if (folder.endsWith('/')) return folder + name;
  return folder + '/' + name;
}

// The part of `path` below `folder`, split into names; nothing when it does not lie there.
std::optional<QByteArrayList> namesBelow(const QByteArray& path, const QByteArray& folder) {
  if (path == folder) return QByteArrayList{};
  const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
  if (!path.startsWith(prefix)) return std::nullopt;
  QByteArrayList names = path.mid(prefix.size()).split('/');
  names.removeAll(QByteArray());
  return names;
}

bool isDirectory(const QByteArray& path) {
  struct stat info {};
  return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isSymlink(const QByteArray& path) {
  struct stat info {};
  return ::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The names of the folder's entries that are folders (or links to folders); nothing when the
// folder cannot be opened. `firstOnly` stops at the first one found.
std::optional<QByteArrayList> subfolderNames(const QByteArray& folder, bool firstOnly) {
  DirectoryListing dir(::opendir(folder.constData()));
  if (!dir) return std::nullopt;
  QByteArrayList names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    bool folderEntry = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat info {};
      folderEntry = ::fstatat(::dirfd(dir.get()), name, &info, 0) == 0 && S_ISDIR(info.st_mode);
    }
    if (!folderEntry) continue;
    names.append(QByteArray(name));
    if (firstOnly) break;
  }
  return names;
}

int kindRank(ShellItemKind kind) {
  switch (kind) {
    case ShellItemKind::Home:
      return 0;
    case ShellItemKind::Computer:
      return 1;
    case ShellItemKind::Volume:
      return 2;
    case ShellItemKind::Folder:
      return 3;
  }
  return 3;
}

}  // namespace

QString trimmedName(const QString& text) {
  int first = 0;
  int last = text.size();
  while (first < last && text[first].unicode() <= 32) ++first;
  while (last > first && text[last - 1].unicode() <= 32) --last;
  return text.mid(first, last - first);
}

QByteArray cleanFolderPath(const QByteArray& path) {
  // Latin-1 maps every byte to one character and back, and the cleaning looks only at "/" and
  // ".": any name survives unchanged.
  return QDir::cleanPath(QString::fromLatin1(path)).toLatin1();
}

QByteArray homeDirectory() {
  const QByteArray home = qgetenv("HOME");
  return cleanFolderPath(home.startsWith('/') ? home : QFile::encodeName(QDir::homePath()));
}

QByteArray desktopDirectory() {
  const QByteArray home = homeDirectory();
  // The variable, when set, is the user's choice for this run; Qt reads only user-dirs.dirs.
  QByteArray desktop = qgetenv("XDG_DESKTOP_DIR");
  if (desktop.startsWith("$HOME")) desktop = home + desktop.mid(5);
  if (desktop.isEmpty()) {
    desktop = QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
  }
  if (desktop.startsWith('/') && isDirectory(desktop)) return cleanFolderPath(desktop);
  return home;
}

ShellNamespace::ShellNamespace(const QByteArray& desktopDir, const QByteArray& homeDir,
                               VolumeLister volumes)
    : desktopDir_(cleanFolderPath(desktopDir)),
      homeDir_(cleanFolderPath(homeDir)),
      volumes_(std::move(volumes)) {}

ShellNamespace ShellNamespace::fromEnvironment() {
  return ShellNamespace(desktopDirectory(), homeDirectory(), &mountedVolumes);
}

QString ShellNamespace::displayName(const TRzShellLocator& item) const {
  if (item.isRoot()) return kRootName;
  const ShellItemId& id = item.last();
  switch (id.kind) {
    case ShellItemKind::Home: {
      const QByteArray name = homeDir_.mid(homeDir_.lastIndexOf('/') + 1);
      return QFile::decodeName(name.isEmpty() ? homeDir_ : name);
    }
    case ShellItemKind::Computer:
      return computerName();
    case ShellItemKind::Volume:
    case ShellItemKind::Folder:
      break;
  }
  return QFile::decodeName(id.name);
}

ShellAttributes ShellNamespace::attributes(const TRzShellLocator& item) const {
  ShellAttributes attributes = ShellAttribute::Folder | ShellAttribute::FsAncestor;
  const QByteArray itemPath = path(item);
  if (!item.isRoot() && item.last().kind == ShellItemKind::Computer) {
    return attributes | ShellAttribute::HasSubfolders;
  }
  attributes |= ShellAttribute::FileSystem;
  // The root always holds the computer, whatever the desktop directory holds.
  if (item.isRoot()) return attributes | ShellAttribute::HasSubfolders;
  const auto firstChild = subfolderNames(itemPath, true);
  // A folder that cannot be listed keeps its expand mark: the attempt to open it tells more.
  if (!firstChild || !firstChild->isEmpty()) attributes |= ShellAttribute::HasSubfolders;
  const ShellItemId& id = item.last();
  if (id.kind == ShellItemKind::Folder) {
    attributes |= ShellAttribute::CanRename;
    if (id.name.startsWith('.')) attributes |= ShellAttribute::Hidden;
  }
  if (isSymlink(itemPath)) attributes |= ShellAttribute::Link;
  return attributes;
}

bool ShellNamespace::exists(const TRzShellLocator& item) const {
  if (!item.isRoot() && item.last().kind == ShellItemKind::Computer) {
    return item.levels().size() == 1;
  }
  if (!item.isRoot() && item.last().kind == ShellItemKind::Volume &&
      !volumes_().contains(item.last().name)) {
    return false;
  }
  return isDirectory(path(item));
}

std::optional<std::vector<TRzShellLocator>> ShellNamespace::children(
    const TRzShellLocator& folder) const {
  std::vector<TRzShellLocator> items;
  if (!folder.isRoot() && folder.last().kind == ShellItemKind::Computer) {
    for (const QByteArray& volume : volumes_()) {
      items.push_back(folder.child({ShellItemKind::Volume, volume}));
    }
  } else {
    const auto names = subfolderNames(path(folder), false);
    if (!names) return std::nullopt;
    if (folder.isRoot()) {
      if (homeDir_ != desktopDir_) items.push_back(folder.child({ShellItemKind::Home, {}}));
      items.push_back(folder.child({ShellItemKind::Computer, {}}));
    }
    for (const QByteArray& name : *names)
      items.push_back(folder.child({ShellItemKind::Folder, name}));
  }
  std::sort(items.begin(), items.end(), [this](const TRzShellLocator& a, const TRzShellLocator& b) {
    return compare(a, b) < 0;
  });
  return items;
}

int ShellNamespace::compare(const TRzShellLocator& a, const TRzShellLocator& b) const {
  if (a.isRoot() || b.isRoot()) return int(b.isRoot()) - int(a.isRoot());
  const ShellItemId& x = a.last();
  const ShellItemId& y = b.last();
  if (x.kind != y.kind) return kindRank(x.kind) - kindRank(y.kind);
  return naturalCompare(QFile::decodeName(x.name), QFile::decodeName(y.name));
}

std::optional<TRzShellLocator> ShellNamespace::parse(const QByteArray& text) const {
  if (!text.startsWith('/')) return std::nullopt;
  const QByteArray folder = cleanFolderPath(text);
  if (!isDirectory(folder)) return std::nullopt;

  auto below = [](TRzShellLocator base, const QByteArrayList& names) {
    for (const QByteArray& name : names) base = base.child({ShellItemKind::Folder, name});
    return base;
  };
  if (const auto names = namesBelow(folder, desktopDir_)) return below({}, *names);
  if (const auto names = namesBelow(folder, homeDir_)) {
    return below(TRzShellLocator({{ShellItemKind::Home, {}}}), *names);
  }
  QByteArray volume;
  for (const QByteArray& point : volumes_()) {
    if (namesBelow(folder, point) && point.size() > volume.size()) volume = point;
  }
  if (volume.isEmpty()) return std::nullopt;
  const TRzShellLocator base({{ShellItemKind::Computer, {}}, {ShellItemKind::Volume, volume}});
  return below(base, *namesBelow(folder, volume));
}

QByteArray ShellNamespace::path(const TRzShellLocator& item) const {
  QByteArray current = desktopDir_;
  for (const ShellItemId& id : item.levels()) {
    switch (id.kind) {
      case ShellItemKind::Home:
        current = homeDir_;
        break;
      case ShellItemKind::Computer:
        current.clear();
        break;
      case ShellItemKind::Volume:
        current = id.name;
        break;
      case ShellItemKind::Folder:
        current = joinFolder(current, id.name);
        break;
    }
  }
  return current;
}

QByteArray ShellNamespace::nodePath(const TRzShellLocator& item) const {
  const QByteArray fileSystemPath = path(item);
  return fileSystemPath.isEmpty() ? displayName(item).toUtf8() : fileSystemPath;
}

RenameResult ShellNamespace::rename(const TRzShellLocator& item, const QString& newName) const {
  RenameResult result;
  if (item.isRoot() || item.last().kind != ShellItemKind::Folder) {
    result.error = QString::fromLocal8Bit(std::strerror(EPERM));
    return result;
  }
  const QByteArray name = QFile::encodeName(trimmedName(newName));
  // The editor offers the decoded name: confirming it unchanged must not rewrite a name whose
  // bytes are not UTF-8.
  if (name == item.last().name || trimmedName(newName) == displayName(item)) {
    result.ok = true;
    result.renamed = item;
    return result;
  }
  if (name.isEmpty() || name == "." || name == ".." || name.contains('/')) {
    result.error = QString::fromLocal8Bit(std::strerror(EINVAL));
    return result;
  }
  const TRzShellLocator renamed = item.parent().child({ShellItemKind::Folder, name});
  const QByteArray from = path(item);
  const QByteArray to = path(renamed);
  // rename(2) would silently replace an empty folder of the new name.
  int status = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
  if (status != 0 && errno == EINVAL) {
    struct stat info {};
    if (::lstat(to.constData(), &info) == 0) {
      errno = EEXIST;
    } else {
      status = ::rename(from.constData(), to.constData());
    }
  }
  if (status != 0) {
    result.error = QString::fromLocal8Bit(std::strerror(errno));
    return result;
  }
  result.ok = true;
  result.renamed = renamed;
  return result;
}

}  // namespace velmora
