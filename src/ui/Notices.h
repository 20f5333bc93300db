#pragma once
// The program's two kinds of modal box: the notice (a foreseen problem, no icon) and the
// application error box (an unforeseen error, stop icon). Both go through one replaceable
// presenter, so tests can record what would have been shown instead of blocking on a dialog.

#include <QString>
#include <exception>
#include <memory>

class QDialog;

namespace velmora {

class NoticePresenter {
 public:
  virtual ~NoticePresenter() = default;
  virtual void notice(const QString& text) = 0;
  // The text is final: the full-stop rule has already been applied. `file` names the picture
  // the error is about, for screen readers (empty when it is about none).
  virtual void errorBox(const QString& text, const QString& file) = 0;
};

// Installs a presenter (not owned); nullptr brings back the modal dialogs.
void setNoticePresenter(NoticePresenter* presenter);

void showNotice(const QString& text);

// Shows an error's text in the application error box, with a full stop appended where the
// text ends in a character that sorts above "."; `file` names the picture it is about.
void showApplicationError(const QString& message, const QString& file = QString());

// True while a notice or an error box is being shown.
bool noticeOpen();

QString withFullStop(const QString& message);

enum class NoticeKind { Notice, Error };

// The dialog the default presenter shows, built but not shown. A screen reader reads `file`
// as the box's description; the text on screen stays as it is.
std::unique_ptr<QDialog> createNoticeDialog(const QString& text, NoticeKind kind,
                                            const QString& file = QString());

// The text a user sees for an error: the program's own messages and run-time errors as they
// read; never a library's internal name ("std::bad_alloc", "basic_string::_M_create").
QString errorText(const std::exception& error);
// The picture an error of the engine is about, as the file system spells it decoded for
// display; empty for any other error.
QString errorFile(const std::exception& error);

// Runs an event handler so that no exception reaches Qt: whatever it throws ends the handler
// there and is shown in the application error box.
template <typename Handler>
void runHandler(Handler&& handler) noexcept {
  try {
    try {
      handler();
    } catch (const std::exception& error) {
      showApplicationError(errorText(error), errorFile(error));
    } catch (...) {
      showApplicationError(QStringLiteral("Unknown error"));
    }
  } catch (...) {
    // The error box itself failed (out of memory): there is nothing left to show it with.
  }
}

}  // namespace velmora
