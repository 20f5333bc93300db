#include "ui/RzShellFolderForm.h"

#include <sys/stat.h>

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>

#include "ui/RzShellCtrls.h"

namespace velmora {

namespace {

const QString kSeparator = QStringLiteral("/");
const QString kEllipsisFolder = QStringLiteral(".../");
const QString kRootEllipsis = QStringLiteral("/.../");
const QString kDefaultCaption = QStringLiteral("Browse for Folder");
constexpr int kMargin = 8;
constexpr int kButtonPanelHeight = 29;
constexpr int kStatusBarHeight = 19;
constexpr int kStatusSpare = 20;  // the status text stays this much narrower than its bar

QToolButton* toolButton(QWidget* parent, const char* name, const QString& caption,
                        QStyle::StandardPixmap icon, const QRect& bounds) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QLatin1String(name));
  button->setText(caption);
  button->setIcon(parent->style()->standardIcon(icon));
  button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  button->setGeometry(bounds);
  return button;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& bounds) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(bounds);
  return button;
}

}  // namespace

QString CutLeadingFolder(const QString& directory) {
  if (directory == kSeparator) return {};
  QString rest = directory;
  const bool leadingSeparator = rest.startsWith(kSeparator);
  if (leadingSeparator) rest.remove(0, 1);
  // Only the marker of an earlier cut goes: a folder whose name starts with a full stop is an
  // ordinary (hidden) folder here.
  if (rest.startsWith(kEllipsisFolder)) rest.remove(0, kEllipsisFolder.size());
  const int next = rest.indexOf(kSeparator);
  rest = next >= 0 ? kEllipsisFolder + rest.mid(next + 1) : QString();
  return leadingSeparator ? kSeparator + rest : rest;
}

QString ShortenPathForWidth(const QString& path, const std::function<int(const QString&)>& width,
                            int limit) {
  const int split = path.lastIndexOf(kSeparator) + 1;
  QString directory = path.left(split);
  const QString name = path.mid(split);
  // No drive part: paths here have no drive letters. A root ends in the separator.
  if (name.isEmpty()) return path;
  QString result = path;
  while (!directory.isEmpty() && width(result) > limit) {
    directory = directory == kRootEllipsis ? kEllipsisFolder : CutLeadingFolder(directory);
    result = directory + name;
  }
  return result;
}

QString ShortenPathForWidth(const QString& path, const QFont& font, int limit) {
  const QFontMetrics metrics(font);
  return ShortenPathForWidth(
      path, [&metrics](const QString& text) { return metrics.horizontalAdvance(text); }, limit);
}

TRzSelectFolderForm::TRzSelectFolderForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
  setupWidgets();
  setupConnections();
  FormCreate();
}

void TRzSelectFolderForm::setupWidgets() {
  setObjectName(QStringLiteral("RzSelectFolderForm"));
  setWindowTitle(kDefaultCaption);
  QFont designFont(QStringLiteral("MS Sans Serif"));
  designFont.setPixelSize(11);
  setFont(designFont);
  resize(kDesignWidth, kDesignHeight);

  btnNewFolder = toolButton(this, "btnNewFolder", QStringLiteral("Create Folder"),
                            QStyle::SP_FileDialogNewFolder, {8, 4, 121, 24});
  btnDeleteFolder = toolButton(this, "btnDeleteFolder", QStringLiteral("Delete"),
                               QStyle::SP_TrashIcon, {137, 4, 92, 24});

  ShellTree = new TRzShellTree(this);
  ShellTree->setObjectName(QStringLiteral("ShellTree"));
  ShellTree->setGeometry(8, 32, 341, 241);

  ButtonPanel = new QWidget(this);
  ButtonPanel->setObjectName(QStringLiteral("ButtonPanel"));
  btnOk = pushButton(ButtonPanel, "btnOk", QStringLiteral("OK"), {12, 2, 75, 23});
  btnOk->setDefault(true);
  btnCancel = pushButton(ButtonPanel, "btnCancel", QStringLiteral("Cancel"), {92, 2, 75, 23});

  RzStatusBar1 = new QStatusBar(this);
  RzStatusBar1->setObjectName(QStringLiteral("RzStatusBar1"));
  RzStatusBar1->setSizeGripEnabled(false);
}

void TRzSelectFolderForm::setupConnections() {
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnNewFolder, &QToolButton::clicked, this, &TRzSelectFolderForm::CreateBtnClick);
  connect(btnDeleteFolder, &QToolButton::clicked, this, &TRzSelectFolderForm::DeleteBtnClick);
  connect(ShellTree, &TRzShellTree::selectedNodeChanged, this,
          &TRzSelectFolderForm::ShellTreeChange);
}

void TRzSelectFolderForm::FormCreate() {
  ShellTree->setRootIsDecorated(true);
  FormResize();
  updateMinimumSize();
}

void TRzSelectFolderForm::setStatusText(const QString& text) { RzStatusBar1->showMessage(text); }

QString TRzSelectFolderForm::statusText() const { return RzStatusBar1->currentMessage(); }

void TRzSelectFolderForm::showEvent(QShowEvent* event) {
  if (Position == TPosition::poScreenCenter) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
      setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                      screen->availableGeometry()));
    }
  }
  Position = TPosition::poDesigned;
  QDialog::showEvent(event);
  FormResize();  // the tool buttons may have been hidden since the last layout
  if (!filled_) {
    filled_ = true;
    ShellTree->fill(initialFolder_);
  }
  if (windowTitle().isEmpty()) setWindowTitle(kDefaultCaption);
}

void TRzSelectFolderForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FormResize();
  updateMinimumSize();
}

void TRzSelectFolderForm::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  updateMinimumSize();
}

// The smallest outer size is fixed; the client size that gives it depends on the frame the
// window system draws, known once the window is on screen. The design size is always allowed:
// where the frame is thinner than the one the sizes were drawn for, the outer minimum gives
// way to it, so the first showing keeps the design size.
void TRzSelectFolderForm::updateMinimumSize() {
  const QSize frame = frameGeometry().size() - geometry().size();
  setMinimumSize(qMin(kMinimumOuterWidth - frame.width(), kDesignWidth),
                 qMin(kMinimumOuterHeight - frame.height(), kDesignHeight));
}

void TRzSelectFolderForm::FormResize() {
  const int panelTop = height() - kStatusBarHeight - kButtonPanelHeight;
  ButtonPanel->setGeometry(0, panelTop, width(), kButtonPanelHeight);
  RzStatusBar1->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);

  int treeTop = kMargin;
  if (btnNewFolder->isVisibleTo(this)) {
    treeTop = btnNewFolder->y() + btnNewFolder->height() + 4;
  } else if (btnDeleteFolder->isVisibleTo(this)) {
    treeTop = btnDeleteFolder->y() + btnDeleteFolder->height() + 4;
  }
  // The tree keeps the 8-pixel margins on both sides.
  ShellTree->setGeometry(kMargin, treeTop, width() - 2 * kMargin, panelTop - 4 - treeTop);

  btnCancel->move(ButtonPanel->width() - btnCancel->width() - kMargin, btnCancel->y());
  btnOk->move(btnCancel->x() - btnOk->width() - kMargin, btnOk->y());
  if (ShellTree->currentItem()) showSelectedPath();
}

void TRzSelectFolderForm::ShellTreeChange() {
  selectedPath_ = QFile::decodeName(ShellTree->selectedFileSystemPath());
  showSelectedPath();
  btnNewFolder->setEnabled(!selectedPath_.isEmpty());
  btnDeleteFolder->setEnabled(!selectedPath_.isEmpty() &&
                              ShellTree->currentItem() != ShellTree->rootNode());
}

void TRzSelectFolderForm::showSelectedPath() {
  setStatusText(ShortenPathForWidth(selectedPath_, font(), RzStatusBar1->width() - kStatusSpare));
}

void TRzSelectFolderForm::CreateBtnClick() {
  const QByteArray parentPath = ShellTree->selectedFileSystemPath();
  if (parentPath.isEmpty()) return;
  QByteArray name = "New Folder";
  auto inParent = [&](const QByteArray& child) {
    return parentPath.endsWith('/') ? parentPath + child : parentPath + '/' + child;
  };
  struct stat info {};
  for (int number = 2; ::lstat(inParent(name).constData(), &info) == 0; ++number) {
    name = "New Folder (" + QByteArray::number(number) + ")";
  }
  if (::mkdir(inParent(name).constData(), 0777) != 0) {
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("Cannot create folder \"%1\".").arg(QFile::decodeName(name)));
    return;
  }
  ShellTree->selectFolder(ShellTree->selectedFolder().child({ShellItemKind::Folder, name}));
  ShellTree->editItem(ShellTree->currentItem());
}

void TRzSelectFolderForm::DeleteBtnClick() {
  QTreeWidgetItem* node = ShellTree->currentItem();
  const QString path = QFile::decodeName(ShellTree->selectedFileSystemPath());
  if (!node || node == ShellTree->rootNode() || path.isEmpty()) return;
  const auto answer = QMessageBox::question(this, windowTitle(),
                                            QStringLiteral("Move \"%1\" to the trash?").arg(path));
  if (answer != QMessageBox::Yes) return;
  if (!QFile::moveToTrash(path)) {
    QMessageBox::warning(this, windowTitle(), QStringLiteral("Cannot delete \"%1\".").arg(path));
    return;
  }
  QTreeWidgetItem* parent = node->parent();
  ShellTree->setCurrentItem(parent);
  delete node;
}

}  // namespace velmora
