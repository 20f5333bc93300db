#pragma once
// TRzSelectFolderDialog: the folder chooser component. It keeps the settings, the selected
// folder and the window geometry between showings (in memory only) and runs the window
// TRzSelectFolderForm for one showing at a time.
//
// How a window uses it (the output-folder button):
//   RzSelectFolderDialog1->setFolderPath(outputFolder);          // the file system's bytes
//   if (RzSelectFolderDialog1->showChooser()) outputFolder = RzSelectFolderDialog1->folderPath();
// showChooser() throws EShellDialogError when it is called during a showing of the same
// component.

#include <QFlags>
#include <QObject>
#include <QString>

#include "core/errors.h"
#include "shell/shell_locator.h"
#include "ui/RzShellFolderForm.h"

namespace velmora {

// "TRzSelectFolderDialog already executing" / "TRzSelectFolderDialog form already active".
class EShellDialogError : public Error {
 public:
  static EShellDialogError alreadyExecuting();
  static EShellDialogError formAlreadyActive();

 private:
  using Error::Error;
};

// Behaviour switches, as bits of TRzSelectFolderDialog::options(). The other bits of the
// default value (7: only file-system folders) have no counterpart here: every item of the
// namespace is a file-system folder or holds some.
enum class TRzSelectFolderDialogOption {
  sfdoCreateDeleteButtons = 1 << 0,  // show the "Create Folder" and "Delete" tool buttons
  sfdoContextMenus = 1 << 1,         // a right-click opens a node's context menu
  sfdoReadOnly = 1 << 2,             // no renaming
  sfdoDefaultKeyHandling = 1 << 5,   // the tree's own shortcuts (F2 renames)
  sfdoShowHidden = 1 << 6,           // hidden folders are listed, dimmed
  sfdoShowOverlays = 1 << 9,         // links carry the link overlay
};
Q_DECLARE_FLAGS(TRzSelectFolderDialogOptions, TRzSelectFolderDialogOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRzSelectFolderDialogOptions)

class TRzSelectFolderDialog : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDefaultOptions = 706;

  explicit TRzSelectFolderDialog(QObject* parent = nullptr);
  ~TRzSelectFolderDialog() override;

  // Selects the folder of an absolute path; a path that is empty, relative, missing or not a
  // folder selects the desktop root instead. Nothing is reported.
  void setFolderPath(const QByteArray& path);
  // The selected folder's file-system path: the desktop directory for the root, "/" with its
  // separator, other folders without a trailing one, empty text for the computer node.
  QByteArray folderPath() const;
  const TRzShellLocator& selectedFolder() const { return selectedFolder_; }
  void setSelectedFolder(const TRzShellLocator& folder) { selectedFolder_ = folder; }

  // Shows the chooser modally; true exactly when it was closed with "OK", which makes the
  // folder selected in it the selected folder. Throws EShellDialogError during a showing.
  bool showChooser();

  const TRzShellLocator& baseFolder() const { return baseFolder_; }
  void setBaseFolder(const TRzShellLocator& folder) { baseFolder_ = folder; }
  const QString& title() const { return title_; }
  void setTitle(const QString& title) { title_ = title; }
  TRzSelectFolderDialogOptions options() const { return options_; }
  void setOptions(TRzSelectFolderDialogOptions options) { options_ = options; }
  const QString& statusText() const { return statusText_; }
  void setStatusText(const QString& text) { statusText_ = text; }

  // The window's normal (not maximized) rectangle, client area, as the last showing left it;
  // -1 before the first showing.
  int formLeft() const { return formLeft_; }
  int formTop() const { return formTop_; }
  int formWidth() const { return formWidth_; }
  int formHeight() const { return formHeight_; }
  Qt::WindowState formWindowState() const { return formWindowState_; }
  TPosition formPosition() const { return formPosition_; }

  bool executing() const { return executing_; }
  // The window, during a showing only.
  TRzSelectFolderForm* form() const { return form_; }

 private:
  void prepare(TRzSelectFolderForm& form) const;
  void readBack(const TRzSelectFolderForm& form, bool confirmed);

  TRzShellLocator selectedFolder_;
  TRzShellLocator baseFolder_;
  QString title_;
  TRzSelectFolderDialogOptions options_ = TRzSelectFolderDialogOptions::fromInt(kDefaultOptions);
  QString statusText_;
  int formLeft_ = -1;
  int formTop_ = -1;
  int formWidth_ = -1;
  int formHeight_ = -1;
  Qt::WindowState formWindowState_ = Qt::WindowNoState;
  TPosition formPosition_ = TPosition::poScreenCenter;
  bool executing_ = false;
  TRzSelectFolderForm* form_ = nullptr;
};

}  // namespace velmora
