#include "ui/RzShellCtrls.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <utility>

namespace velmora {

namespace {

constexpr int kNodeType = QTreeWidgetItem::UserType + 1;
constexpr int kIndent = 19;
// A slice of a subtree walk; the event loop runs between slices.
constexpr int kWalkSliceMs = 25;
// How often a walk shows what it has read: each showing lays out the whole tree again.
constexpr int kWalkShowMs = 1000;

// A node remembers its item and whether its children were read.
class ShellTreeNode : public QTreeWidgetItem {
 public:
  explicit ShellTreeNode(TRzShellLocator item)
      : QTreeWidgetItem(kNodeType), item_(std::move(item)) {}
  const TRzShellLocator& item() const { return item_; }
  void setItem(TRzShellLocator item) { item_ = std::move(item); }
  bool populated = false;

 private:
  TRzShellLocator item_;
};

ShellTreeNode* asNode(QTreeWidgetItem* item) { return static_cast<ShellTreeNode*>(item); }
const ShellTreeNode* asNode(const QTreeWidgetItem* item) {
  return static_cast<const ShellTreeNode*>(item);
}

// Selection changes the tree makes to its own nodes are not reported; the flag is restored on
// every way out.
class QuietScope {
 public:
  explicit QuietScope(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
  ~QuietScope() { flag_ = saved_; }

 private:
  bool& flag_;
  bool saved_;
};

}  // namespace

// An ended edit is a request to rename the folder, carried out once the view has let go of
// the editor: the rename moves the node to its sorted place, which would pull the row from
// under a live editor.
class ShellNameDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    if (const auto* line = qobject_cast<QLineEdit*>(editor)) {
      pendingIndex_ = index;
      pendingName_ = line->text();
    }
  }
  // The edited row and its text, once; an invalid index when the edit was cancelled.
  std::pair<QPersistentModelIndex, QString> takePending() {
    auto pending = std::make_pair(pendingIndex_, pendingName_);
    pendingIndex_ = QPersistentModelIndex();
    pendingName_.clear();
    return pending;
  }

 private:
  mutable QPersistentModelIndex pendingIndex_;
  mutable QString pendingName_;
};

OverrideCursorScope::OverrideCursorScope(Qt::CursorShape shape) {
  QGuiApplication::setOverrideCursor(QCursor(shape));
}

OverrideCursorScope::~OverrideCursorScope() { QGuiApplication::restoreOverrideCursor(); }

TRzShellTree::TRzShellTree(QWidget* parent)
    : TRzShellTree(ShellNamespace::fromEnvironment(), parent) {}

TRzShellTree::TRzShellTree(ShellNamespace shellNamespace, QWidget* parent)
    : QTreeWidget(parent), namespace_(std::move(shellNamespace)) {
  setHeaderHidden(true);
  setColumnCount(1);
  setIndentation(kIndent);
  setRootIsDecorated(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  nameDelegate_ = new ShellNameDelegate(this);
  setItemDelegate(nameDelegate_);
  setDefaultKeyHandling(true);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);

  // The selection keeps its active colours when the tree loses the focus.
  QPalette colours = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
  }
  setPalette(colours);

  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) {
    if (!asNode(node)->populated) populate(node);
  });
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { reportCurrentChange(current); });
  subtreeTimer_ = new QTimer(this);
  subtreeTimer_->setInterval(0);
  connect(subtreeTimer_, &QTimer::timeout, this, &TRzShellTree::continueSubtreeWalk);
  fill();
}

QByteArray TRzShellTree::path() const {
  const QTreeWidgetItem* node = currentItem();
  return node ? namespace_.nodePath(asNode(node)->item()) : QByteArray();
}

QByteArray TRzShellTree::selectedFileSystemPath() const {
  const QTreeWidgetItem* node = currentItem();
  return node ? namespace_.path(asNode(node)->item()) : QByteArray();
}

TRzShellLocator TRzShellTree::selectedFolder() const {
  const QTreeWidgetItem* node = currentItem();
  return node ? asNode(node)->item() : rootFolder_;
}

void TRzShellTree::setReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  for (QTreeWidgetItemIterator it(this); *it; ++it) {
    (*it)->setFlags(canEdit(*it) ? (*it)->flags() | Qt::ItemIsEditable
                                 : (*it)->flags() & ~Qt::ItemIsEditable);
  }
}

void TRzShellTree::setDefaultKeyHandling(bool enabled) {
  setEditTriggers(enabled ? QAbstractItemView::EditKeyPressed : QAbstractItemView::NoEditTriggers);
}

void TRzShellTree::fill(const TRzShellLocator& folder) {
  stopSubtreeWalk();
  OverrideCursorScope busy;
  {
    QuietScope quiet(quiet_);
    clear();
    QTreeWidgetItem* root = makeNode(rootFolder_);
    addTopLevelItem(root);
    populate(root);
    expandItem(root);
  }
  selectFolder(folder);
}

void TRzShellTree::refresh() {
  const TRzShellLocator selected = selectedFolder();
  {
    QuietScope quiet(quiet_);
    setCurrentItem(nullptr);
  }
  fill(selected);
}

void TRzShellTree::selectFolder(const TRzShellLocator& folder) {
  QTreeWidgetItem* node = rootNode();
  if (!node) return;
  if (!folder.startsWith(rootFolder_)) {
    QApplication::beep();
  } else {
    expandItem(node);
    const auto& levels = folder.levels();
    for (std::size_t depth = rootFolder_.levels().size(); depth < levels.size(); ++depth) {
      const TRzShellLocator level({levels.begin(), levels.begin() + long(depth) + 1});
      QTreeWidgetItem* child = findChild(node, level);
      if (!child && namespace_.exists(level) && passesFilter(level, namespace_.attributes(level))) {
        child = insertSorted(node, makeNode(level));
      }
      if (!child) {
        QApplication::beep();
        break;
      }
      node = child;
      if (depth + 1 < levels.size()) expandItem(node);
    }
  }
  setCurrentItem(node);
  scrollToItem(node);
}

bool TRzShellTree::canEdit(const QTreeWidgetItem* node) const {
  if (readOnly_ || !node || node == rootNode()) return false;
  const TRzShellLocator& item = asNode(node)->item();
  return !item.isRoot() && namespace_.attributes(item).testFlag(ShellAttribute::CanRename);
}

bool TRzShellTree::renameNode(QTreeWidgetItem* node, const QString& text) {
  if (!canEdit(node)) return false;
  const TRzShellLocator item = asNode(node)->item();
  RenameResult result;
  {
    OverrideCursorScope busy;
    result = namespace_.rename(item, text);
  }
  if (!result.ok) {
    reportRenameError(
        QStringLiteral("Cannot rename \"%1\": %2").arg(namespace_.displayName(item), result.error));
    return false;
  }
  if (result.renamed == item) return true;

  QTreeWidgetItem* current = currentItem();
  bool selectionMoves = false;
  for (QTreeWidgetItem* up = current; up; up = up->parent()) selectionMoves |= (up == node);
  {
    QuietScope quiet(quiet_);
    relocate(node, result.renamed, int(item.levels().size()) - 1);
    node->setText(0, namespace_.displayName(result.renamed));
    const bool expanded = node->isExpanded();
    QTreeWidgetItem* parent = node->parent();
    parent->takeChild(parent->indexOfChild(node));
    insertSorted(parent, node);
    node->setExpanded(expanded);
    setCurrentItem(current);
  }
  if (selectionMoves) emit selectedNodeChanged(path());
  return true;
}

void TRzShellTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTreeWidget::closeEditor(editor, hint);
  const auto [index, name] = nameDelegate_->takePending();
  // An edit that ends with no text renames nothing.
  if (index.isValid() && !name.isEmpty()) renameNode(itemFromIndex(index), name);
}

void TRzShellTree::mousePressEvent(QMouseEvent* event) {
  // A right-click opens the context menu of the node under the mouse; the selection stays.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void TRzShellTree::keyPressEvent(QKeyEvent* event) {
  // The view's own handling of "*" expands whatever the model offers, links and /proc included.
  if (event->key() == Qt::Key_Asterisk) {
    if (currentItem()) expandSubtree(currentItem());
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void TRzShellTree::expandSubtree(QTreeWidgetItem* node) {
  if (!subtreeWalk_) {
    subtreeWalk_ = std::make_unique<SubtreeWalk>(namespace_);
    subtreeShown_.start();
  }
  subtreePending_.push_back(QPersistentModelIndex(indexFromItem(node)));
  subtreeTimer_->start();
  continueSubtreeWalk();
}

// Folders are read in slices between which the event loop runs, and shown expanded about once
// a second: expanding a node lays out every row of the tree, so expanding each node as it is
// read made the walk quadratic.
void TRzShellTree::continueSubtreeWalk() {
  QElapsedTimer slice;
  slice.start();
  while (!subtreePending_.empty() && slice.elapsed() < kWalkSliceMs) {
    const QPersistentModelIndex index = subtreePending_.front();
    subtreePending_.pop_front();
    QTreeWidgetItem* node = index.isValid() ? itemFromIndex(index) : nullptr;
    if (!node || !subtreeWalk_->admits(asNode(node)->item())) continue;
    if (!asNode(node)->populated) populate(node);
    subtreeRead_.push_back(index);
    for (int i = 0; i < node->childCount(); ++i) {
      subtreePending_.push_back(QPersistentModelIndex(indexFromItem(node->child(i))));
    }
  }
  if (subtreePending_.empty() || subtreeShown_.elapsed() >= kWalkShowMs) showSubtreeRead();
  if (subtreePending_.empty()) stopSubtreeWalk();
}

void TRzShellTree::showSubtreeRead() {
  // One layout for all of them instead of one per node.
  scheduleDelayedItemsLayout();
  for (const QPersistentModelIndex& index : subtreeRead_) {
    if (index.isValid()) expand(index);
  }
  subtreeRead_.clear();
  subtreeShown_.restart();
}

void TRzShellTree::stopSubtreeWalk() {
  subtreeTimer_->stop();
  subtreePending_.clear();
  subtreeRead_.clear();
  subtreeWalk_.reset();
}

void TRzShellTree::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* node =
      event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
  if (!contextMenus_ || !node || node == rootNode() || !canEdit(node)) return;
  QMenu menu(this);
  QAction* renameAction = menu.addAction(QStringLiteral("重命名(&M)"));
  const QPoint where = event->reason() == QContextMenuEvent::Mouse
                           ? event->globalPos()
                           : viewport()->mapToGlobal(visualItemRect(node).center());
  if (menu.exec(where) == renameAction) editItem(node);
}

QTreeWidgetItem* TRzShellTree::makeNode(const TRzShellLocator& item) const {
  return makeNode(item, namespace_.attributes(item));
}

QTreeWidgetItem* TRzShellTree::makeNode(const TRzShellLocator& item,
                                        ShellAttributes attributes) const {
  auto* node = new ShellTreeNode(item);
  node->setText(0, namespace_.displayName(item));
  node->setChildIndicatorPolicy(attributes.testFlag(ShellAttribute::HasSubfolders)
                                    ? QTreeWidgetItem::ShowIndicator
                                    : QTreeWidgetItem::DontShowIndicator);

  QStyle::StandardPixmap icon = QStyle::SP_DirIcon;
  if (item.isRoot()) {
    icon = QStyle::SP_DesktopIcon;
  } else {
    switch (item.last().kind) {
      case ShellItemKind::Home:
        icon = QStyle::SP_DirHomeIcon;
        break;
      case ShellItemKind::Computer:
        icon = QStyle::SP_ComputerIcon;
        break;
      case ShellItemKind::Volume:
        icon = QStyle::SP_DriveHDIcon;
        break;
      case ShellItemKind::Folder:
        if (showLinkOverlay_ && attributes.testFlag(ShellAttribute::Link)) {
          icon = QStyle::SP_DirLinkIcon;
        }
        break;
    }
  }
  const bool hidden = attributes.testFlag(ShellAttribute::Hidden);
  // Dimmed like an item marked for cutting.
  if (hidden) node->setForeground(0, palette().color(QPalette::Disabled, QPalette::Text));
  node->setIcon(0, nodeIcon(icon, hidden));
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (!readOnly_ && !item.isRoot() && attributes.testFlag(ShellAttribute::CanRename)) {
    flags |= Qt::ItemIsEditable;
  }
  node->setFlags(flags);
  return node;
}

// The style decodes its pictures anew on every request: thousands of folders took seconds.
QIcon TRzShellTree::nodeIcon(QStyle::StandardPixmap kind, bool dimmed) const {
  const int key = int(kind) * 2 + int(dimmed);
  auto found = icons_.find(key);
  if (found == icons_.end()) {
    const QIcon picture = style()->standardIcon(kind);
    found = icons_.insert(key, dimmed ? QIcon(picture.pixmap(16, 16, QIcon::Disabled)) : picture);
  }
  return *found;
}

bool TRzShellTree::passesFilter(const TRzShellLocator&, ShellAttributes attributes) const {
  if (!attributes.testFlag(ShellAttribute::FileSystem) &&
      !attributes.testFlag(ShellAttribute::FsAncestor)) {
    return false;
  }
  return showHidden_ || !attributes.testFlag(ShellAttribute::Hidden);
}

void TRzShellTree::populate(QTreeWidgetItem* node) {
  OverrideCursorScope busy;
  const auto children = namespace_.children(asNode(node)->item());
  // A folder that cannot be listed keeps its expand mark and may be tried again.
  if (!children) return;
  // Nodes added before the folder could be listed keep their place in the order.
  const bool hadChildren = node->childCount() > 0;
  QList<QTreeWidgetItem*> nodes;
  for (const TRzShellLocator& child : *children) {
    if (hadChildren && findChild(node, child)) continue;
    const ShellAttributes attributes = namespace_.attributes(child);
    if (!passesFilter(child, attributes)) continue;
    if (hadChildren) {
      insertSorted(node, makeNode(child, attributes));
    } else {
      nodes.append(makeNode(child, attributes));
    }
  }
  asNode(node)->populated = true;
  node->addChildren(nodes);
  // The policy decides whether the view shows the children at all, not only the expand mark.
  node->setChildIndicatorPolicy(node->childCount() > 0 ? QTreeWidgetItem::ShowIndicator
                                                       : QTreeWidgetItem::DontShowIndicator);
}

QTreeWidgetItem* TRzShellTree::findChild(QTreeWidgetItem* parent,
                                         const TRzShellLocator& item) const {
  for (int i = 0; i < parent->childCount(); ++i) {
    if (asNode(parent->child(i))->item() == item) return parent->child(i);
  }
  return nullptr;
}

QTreeWidgetItem* TRzShellTree::insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* node) {
  int index = 0;
  while (index < parent->childCount() &&
         namespace_.compare(asNode(parent->child(index))->item(), asNode(node)->item()) < 0) {
    ++index;
  }
  parent->insertChild(index, node);
  parent->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return node;
}

// Gives the node and everything below it the new name at level `depth`.
void TRzShellTree::relocate(QTreeWidgetItem* node, const TRzShellLocator& renamed, int depth) {
  std::vector<ShellItemId> levels = asNode(node)->item().levels();
  levels[std::size_t(depth)] = renamed.levels()[std::size_t(depth)];
  asNode(node)->setItem(TRzShellLocator(std::move(levels)));
  for (int i = 0; i < node->childCount(); ++i) relocate(node->child(i), renamed, depth);
}

void TRzShellTree::reportCurrentChange(QTreeWidgetItem* current) {
  if (quiet_) return;
  emit selectedNodeChanged(current ? namespace_.nodePath(asNode(current)->item()) : QByteArray());
}

void TRzShellTree::reportRenameError(const QString& text) {
  if (renameErrorHandler_) {
    renameErrorHandler_(text);
  } else {
    QMessageBox::warning(window(), QStringLiteral("Error Renaming Folder"), text);
  }
}

}  // namespace velmora
