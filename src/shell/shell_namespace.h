#pragma once
// The folder namespace behind both folder trees, built over the file system:
//
//   desktop root            (the desktop directory; the empty locator)
//   ├── home folder         (left out when the desktop directory is the home folder itself)
//   ├── 计算机              (not a file-system folder)
//   │   ├── /               (the file-system root, always first)
//   │   └── mounted volumes (see mount_table.h for which ones)
//   └── the desktop directory's own sub-folders
//
// Only folders are listed (symbolic links to folders included). Nothing is cached and nothing
// watches the file system: every question is answered from the disk when it is asked. Paths and
// names are the file system's bytes; only display names are decoded.

#include <QByteArray>
#include <QByteArrayList>
#include <QFlags>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "shell/shell_locator.h"

namespace velmora {

enum class ShellAttribute {
  FileSystem = 0x01,     // the item has a file-system path
  FsAncestor = 0x02,     // the item holds file-system folders
  Folder = 0x04,         // the item can hold children
  HasSubfolders = 0x08,  // the item has at least one child folder
  Hidden = 0x10,         // a dot-name
  Link = 0x20,           // a symbolic link
  CanRename = 0x40,      // a folder whose name the user may change
};
Q_DECLARE_FLAGS(ShellAttributes, ShellAttribute)
Q_DECLARE_OPERATORS_FOR_FLAGS(ShellAttributes)

struct RenameResult {
  bool ok = false;
  TRzShellLocator renamed;  // the item under its new name, on success
  QString error;            // the reason, on failure
};

class ShellNamespace {
 public:
  using VolumeLister = std::function<QByteArrayList()>;

  ShellNamespace(const QByteArray& desktopDir, const QByteArray& homeDir, VolumeLister volumes);
  // The user's namespace: desktopDirectory(), the home folder and the kernel's mount table.
  static ShellNamespace fromEnvironment();

  const QByteArray& desktopDir() const { return desktopDir_; }
  const QByteArray& homeDir() const { return homeDir_; }

  QString displayName(const TRzShellLocator& item) const;
  ShellAttributes attributes(const TRzShellLocator& item) const;
  // True when the item is still there (a folder that was deleted is not).
  bool exists(const TRzShellLocator& item) const;

  // The item's child folders in shell order (compare()), hidden ones included; nothing when
  // the folder cannot be listed.
  std::optional<std::vector<TRzShellLocator>> children(const TRzShellLocator& folder) const;
  // Negative, zero or positive: the order of two siblings. The home folder and the computer
  // come before the folders; "/" comes first among the volumes.
  int compare(const TRzShellLocator& a, const TRzShellLocator& b) const;

  // An absolute path of an existing folder becomes the locator of its item: below the desktop
  // directory when it lies there, else below the home folder, else below the computer, on the
  // volume with the longest matching mount point. The desktop directory itself is the root.
  // Anything else (empty, relative, missing, not a folder) has no locator.
  std::optional<TRzShellLocator> parse(const QByteArray& path) const;
  // The item's file-system path: "/" keeps its separator, other folders come without a
  // trailing one; the root gives the desktop directory; the computer gives empty text.
  QByteArray path(const TRzShellLocator& item) const;
  // path(), or the display name (UTF-8) for an item outside the file system.
  QByteArray nodePath(const TRzShellLocator& item) const;

  // Gives the folder the name (typed text, so encoded as file names are), trimmed of blanks and
  // control characters at both ends. An existing entry of that name is never replaced. A name that
  // is unchanged is a success.
  RenameResult rename(const TRzShellLocator& item, const QString& newName) const;

 private:
  QByteArray desktopDir_;
  QByteArray homeDir_;
  VolumeLister volumes_;
};

// The desktop directory: XDG_DESKTOP_DIR from the environment ("$HOME" expanded), else the
// platform's desktop location (user-dirs.dirs, ~/Desktop by default); when that folder does
// not exist, the home folder.
QByteArray desktopDirectory();

// The home folder: $HOME as its bytes, else Qt's idea of it.
QByteArray homeDirectory();

// The path with doubled and trailing separators, "." and ".." removed; the names' bytes stay.
QByteArray cleanFolderPath(const QByteArray& path);

// The text trimmed of every character of code 32 or less at both ends.
QString trimmedName(const QString& text);

// The computer node's display name.
inline const QString& computerName() {
  static const QString name = QStringLiteral("计算机");
  return name;
}

}  // namespace velmora
