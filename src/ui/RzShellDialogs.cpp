#include "ui/RzShellDialogs.h"

#include <QToolButton>
#include <memory>

#include "shell/shell_namespace.h"
#include "ui/RzShellCtrls.h"

namespace velmora {

namespace {

// Sets a flag for a scope and clears it on every way out.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

EShellDialogError EShellDialogError::alreadyExecuting() {
  return EShellDialogError("TRzSelectFolderDialog already executing");
}

EShellDialogError EShellDialogError::formAlreadyActive() {
  return EShellDialogError("TRzSelectFolderDialog form already active");
}

TRzSelectFolderDialog::TRzSelectFolderDialog(QObject* parent) : QObject(parent) {}

TRzSelectFolderDialog::~TRzSelectFolderDialog() = default;

void TRzSelectFolderDialog::setFolderPath(const QByteArray& path) {
  selectedFolder_ = ShellNamespace::fromEnvironment().parse(path).value_or(TRzShellLocator());
}

QByteArray TRzSelectFolderDialog::folderPath() const {
  return ShellNamespace::fromEnvironment().path(selectedFolder_);
}

bool TRzSelectFolderDialog::showChooser() {
  if (executing_) throw EShellDialogError::alreadyExecuting();
  FlagScope executing(executing_);
  if (form_) throw EShellDialogError::formAlreadyActive();

  OverrideCursorScope busy;
  auto form = std::make_unique<TRzSelectFolderForm>();
  form_ = form.get();
  struct FormReference {
    TRzSelectFolderForm*& form;
    ~FormReference() { form = nullptr; }
  } clearReference{form_};

  prepare(*form);
  int result = QDialog::Rejected;
  {
    OverrideCursorScope normal(Qt::ArrowCursor);
    result = form->exec();
  }
  const bool confirmed = result == QDialog::Accepted;
  readBack(*form, confirmed);
  return confirmed;
}

void TRzSelectFolderDialog::prepare(TRzSelectFolderForm& form) const {
  form.setStatusText(statusText_);
  form.Position = formPosition_;
  QRect placement = form.geometry();
  if (formPosition_ == TPosition::poDesigned) placement.moveTo(formLeft_, formTop_);
  if (formWidth_ > 0) placement.setWidth(formWidth_);
  if (formHeight_ > 0) placement.setHeight(formHeight_);
  form.setGeometry(placement);
  form.setWindowState(formWindowState_);

  const bool buttons = options_.testFlag(TRzSelectFolderDialogOption::sfdoCreateDeleteButtons);
  form.btnNewFolder->setVisible(buttons);
  form.btnDeleteFolder->setVisible(buttons);
  TRzShellTree& tree = *form.ShellTree;
  tree.setContextMenus(options_.testFlag(TRzSelectFolderDialogOption::sfdoContextMenus));
  tree.setReadOnly(options_.testFlag(TRzSelectFolderDialogOption::sfdoReadOnly));
  tree.setDefaultKeyHandling(
      options_.testFlag(TRzSelectFolderDialogOption::sfdoDefaultKeyHandling));
  tree.setShowHidden(options_.testFlag(TRzSelectFolderDialogOption::sfdoShowHidden));
  tree.setShowLinkOverlay(options_.testFlag(TRzSelectFolderDialogOption::sfdoShowOverlays));

  form.setWindowTitle(title_.isEmpty() ? QStringLiteral("Browse for Folder") : title_);
  tree.setRootFolder(baseFolder_);
  form.setInitialFolder(selectedFolder_);
}

void TRzSelectFolderDialog::readBack(const TRzSelectFolderForm& form, bool confirmed) {
  const QRect normal = form.normalGeometry();
  formLeft_ = normal.left();
  formTop_ = normal.top();
  formWidth_ = normal.width();
  formHeight_ = normal.height();
  const Qt::WindowStates state = form.windowState();
  formWindowState_ = state.testFlag(Qt::WindowMaximized)   ? Qt::WindowMaximized
                     : state.testFlag(Qt::WindowMinimized) ? Qt::WindowMinimized
                                                           : Qt::WindowNoState;
  formPosition_ = form.Position;
  if (confirmed) selectedFolder_ = form.ShellTree->selectedFolder();
}

}  // namespace velmora
