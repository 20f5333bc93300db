#pragma once
// TRzSelectFolderForm: the folder chooser's window, created for one showing by
// TRzSelectFolderDialog (RzShellDialogs.h) and destroyed afterwards.

#include <QDialog>
#include <QFont>
#include <functional>

#include "shell/shell_locator.h"

class QPushButton;
class QStatusBar;
class QToolButton;

namespace velmora {

class TRzShellTree;

// The status bar's path shortened from the left until `width` of it is at most `limit`:
// the leading folders give way to "/.../", then to ".../", and at last the bare name is left,
// which is never cut, even when it is still too wide. A root ("/") is never shortened.
QString ShortenPathForWidth(const QString& path, const std::function<int(const QString&)>& width,
                            int limit);
QString ShortenPathForWidth(const QString& path, const QFont& font, int limit);

// Drops the leading folder of a directory part ("/a/b/" gives "/.../b/", "/.../b/" gives
// "/.../"), removing the ".../" an earlier cut left; a lone "/" becomes empty.
QString CutLeadingFolder(const QString& directory);

// Where a window goes when it is shown.
enum class TPosition {
  poDesigned,      // at the remembered place
  poScreenCenter,  // centred on the screen
};

class TRzSelectFolderForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kDesignWidth = 358;  // client size
  static constexpr int kDesignHeight = 325;
  static constexpr int kMinimumOuterWidth = 366;
  static constexpr int kMinimumOuterHeight = 340;

  explicit TRzSelectFolderForm(QWidget* parent = nullptr);

  QToolButton* btnNewFolder;
  QToolButton* btnDeleteFolder;
  TRzShellTree* ShellTree;
  QWidget* ButtonPanel;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QStatusBar* RzStatusBar1;

  TPosition Position = TPosition::poScreenCenter;

  // The folder selected when the tree is filled, as the window is shown.
  void setInitialFolder(const TRzShellLocator& folder) { initialFolder_ = folder; }
  void setStatusText(const QString& text);
  QString statusText() const;

 public slots:
  void ShellTreeChange();
  void CreateBtnClick();
  void DeleteBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void setupWidgets();
  void setupConnections();
  void FormCreate();
  void FormResize();
  void updateMinimumSize();
  void showSelectedPath();

  TRzShellLocator initialFolder_;
  QString selectedPath_;
  bool filled_ = false;
};

}  // namespace velmora
