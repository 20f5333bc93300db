#pragma once
// A reference to one item of the folder namespace the trees show: the list of levels leading
// from the namespace root (the desktop) down to the item. No level at all stands for the root.

#include <QByteArray>
#include <vector>

namespace velmora {

// What one level of a locator names, relative to the level above it.
enum class ShellItemKind {
  Home,      // the user's home folder, a child of the desktop root
  Computer,  // the node holding the file-system root and the mounted volumes; not a folder
  Volume,    // a mount point below Computer; name = its absolute path ("/" included)
  Folder,    // a sub-folder of the level above; name = its file name
};

// Names are the file system's bytes, whatever their encoding; they are decoded only for display.
struct ShellItemId {
  ShellItemKind kind = ShellItemKind::Folder;
  QByteArray name;

  bool operator==(const ShellItemId& other) const {
    return kind == other.kind && name == other.name;
  }
  bool operator!=(const ShellItemId& other) const { return !(*this == other); }
};

class TRzShellLocator {
 public:
  TRzShellLocator() = default;  // the namespace root
  explicit TRzShellLocator(std::vector<ShellItemId> levels) : levels_(std::move(levels)) {}

  bool isRoot() const { return levels_.empty(); }
  const std::vector<ShellItemId>& levels() const { return levels_; }
  // The item's own level; only for a locator below the root.
  const ShellItemId& last() const { return levels_.back(); }

  // The locator one level up; the root's parent is the root.
  TRzShellLocator parent() const;
  TRzShellLocator child(const ShellItemId& id) const;
  // True when this locator is `ancestor` itself or lies below it.
  bool startsWith(const TRzShellLocator& ancestor) const;

  bool operator==(const TRzShellLocator& other) const { return levels_ == other.levels_; }
  bool operator!=(const TRzShellLocator& other) const { return !(*this == other); }

 private:
  std::vector<ShellItemId> levels_;
};

}  // namespace velmora
