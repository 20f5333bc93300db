#pragma once
// TRzShellTree: the folder tree over the shell namespace (shell/shell_namespace.h), used by the
// main window (ShellTreeView1) and by the folder chooser.
//
// What the main window uses:
//   auto* tree = new TRzShellTree(parent);        // fills itself: root added, expanded, selected
//   tree->setObjectName("ShellTreeView1");
//   connect(tree, &TRzShellTree::selectedNodeChanged, this,
//           [this] { ShellTreeView1Change(); });   // the handler reads tree->path() itself
//   tree->path();                                  // the selected node's path (see path())
// The selection made in the constructor happens before anyone can connect; call the handler
// once after connecting (or call refresh(), which selects the same node and reports it).
// Defaults match the main window: indent 19, no expand line at the root, the selection drawn
// in its active colours without focus, hidden folders listed (dimmed), rename through F2 or
// the context menu, "*" (keypad or main keyboard) expands the whole subtree (expandSubtree).

#include <QCursor>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <deque>
#include <functional>
#include <memory>

#include "shell/shell_namespace.h"
#include "shell/subtree_walk.h"

namespace velmora {

// Shows the busy (or any) cursor over the whole application for its lifetime.
class OverrideCursorScope {
 public:
  explicit OverrideCursorScope(Qt::CursorShape shape = Qt::WaitCursor);
  ~OverrideCursorScope();
  OverrideCursorScope(const OverrideCursorScope&) = delete;
  OverrideCursorScope& operator=(const OverrideCursorScope&) = delete;
};

class ShellNameDelegate;

class TRzShellTree : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TRzShellTree(QWidget* parent = nullptr);
  TRzShellTree(ShellNamespace shellNamespace, QWidget* parent);

  // The selected node's path: a file-system folder's full path without a trailing "/", "/"
  // itself, the desktop directory for the root, the display name of a node outside the file
  // system ("计算机", UTF-8); empty when nothing is selected. Paths are the file system's bytes.
  QByteArray path() const;
  // The selected node's file-system path; empty for a node outside the file system.
  QByteArray selectedFileSystemPath() const;
  // The selected node's item (the root when nothing is selected). Follows renames.
  TRzShellLocator selectedFolder() const;

  // Rebuilds the tree: the root node, its children, the root expanded, then `folder` selected
  // level by level (selectFolder). The selection is reported through selectedNodeChanged.
  void fill(const TRzShellLocator& folder = {});
  // fill(), keeping the current selection.
  void refresh();
  // Expands the node and every folder below it, a slice at a time so that the window keeps
  // painting and answering; links and system file systems are not entered, no folder twice.
  // Refilling the tree ends the walk.
  void expandSubtree(QTreeWidgetItem* node);
  bool expandingSubtree() const { return subtreeWalk_ != nullptr; }

  // Selects the node of `folder`, expanding and, where needed, adding each level below the
  // root. A level that cannot be reached sounds the beep; the deepest node reached is selected.
  void selectFolder(const TRzShellLocator& folder);

  // The item at the top of the tree (the desktop by default). Takes effect at the next fill().
  void setRootFolder(const TRzShellLocator& root) { rootFolder_ = root; }
  const TRzShellLocator& rootFolder() const { return rootFolder_; }
  const ShellNamespace& shellNamespace() const { return namespace_; }

  QTreeWidgetItem* rootNode() const { return topLevelItemCount() ? topLevelItem(0) : nullptr; }

  // Behaviour switches (the chooser's options). Those about listing take effect at fill().
  void setShowHidden(bool show) { showHidden_ = show; }
  void setShowLinkOverlay(bool show) { showLinkOverlay_ = show; }
  void setReadOnly(bool readOnly);
  void setContextMenus(bool enabled) { contextMenus_ = enabled; }
  // F2 starts renaming when on.
  void setDefaultKeyHandling(bool enabled);

  // True for a node below the root whose folder may be renamed, while the tree is not read-only.
  bool canEdit(const QTreeWidgetItem* node) const;
  // Renames the node's folder to the text trimmed of blanks. On failure the node keeps its
  // caption, the reason goes to the rename error handler, and false is returned.
  bool renameNode(QTreeWidgetItem* node, const QString& text);
  // Receives the text of a failed rename; by default a warning box shows it.
  void setRenameErrorHandler(std::function<void(const QString&)> handler) {
    renameErrorHandler_ = std::move(handler);
  }

 signals:
  // The selected node changed (mouse, keyboard, fill, or a rename of the selected folder);
  // `path` is path(). A right-click never changes the selection.
  void selectedNodeChanged(const QByteArray& path);

 protected:
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QTreeWidgetItem* makeNode(const TRzShellLocator& item) const;
  QTreeWidgetItem* makeNode(const TRzShellLocator& item, ShellAttributes attributes) const;
  QIcon nodeIcon(QStyle::StandardPixmap kind, bool dimmed) const;
  bool passesFilter(const TRzShellLocator& item, ShellAttributes attributes) const;
  void populate(QTreeWidgetItem* node);
  QTreeWidgetItem* findChild(QTreeWidgetItem* parent, const TRzShellLocator& item) const;
  QTreeWidgetItem* insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* node);
  void relocate(QTreeWidgetItem* node, const TRzShellLocator& renamed, int depth);
  void reportCurrentChange(QTreeWidgetItem* current);
  void reportRenameError(const QString& text);
  void continueSubtreeWalk();
  void showSubtreeRead();
  void stopSubtreeWalk();

  ShellNamespace namespace_;
  ShellNameDelegate* nameDelegate_ = nullptr;
  TRzShellLocator rootFolder_;
  bool showHidden_ = true;
  bool showLinkOverlay_ = true;
  bool readOnly_ = false;
  bool contextMenus_ = true;
  bool quiet_ = false;  // set while the tree changes its own nodes: no selection reports
  std::function<void(const QString&)> renameErrorHandler_;
  mutable QHash<int, QIcon> icons_;
  std::unique_ptr<SubtreeWalk> subtreeWalk_;
  std::deque<QPersistentModelIndex> subtreePending_;
  std::vector<QPersistentModelIndex> subtreeRead_;  // read, not yet shown expanded
  QElapsedTimer subtreeShown_;
  QTimer* subtreeTimer_ = nullptr;
};

}  // namespace velmora
