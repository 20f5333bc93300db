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
  // The text is final: the full-stop rule has already been applied.
  virtual void errorBox(const QString& text) = 0;
};

// Installs a presenter (not owned); nullptr brings back the modal dialogs.
void setNoticePresenter(NoticePresenter* presenter);

void showNotice(const QString& text);

// Shows an error's text in the application error box, with a full stop appended where the
// text ends in a character that sorts above ".".
void showApplicationError(const QString& message);

QString withFullStop(const QString& message);

enum class NoticeKind { Notice, Error };

// The dialog the default presenter shows, built but not shown.
std::unique_ptr<QDialog> createNoticeDialog(const QString& text, NoticeKind kind);

// The text a user sees for an error: the program's own messages and run-time errors as they
// read; never a library's internal name ("std::bad_alloc", "basic_string::_M_create").
QString errorText(const std::exception& error);

// Runs an event handler so that no exception reaches Qt: whatever it throws ends the handler
// there and is shown in the application error box.
template <typename Handler>
void runHandler(Handler&& handler) noexcept {
  try {
    try {
      handler();
    } catch (const std::exception& error) {
      showApplicationError(errorText(error));
    } catch (...) {
      showApplicationError(QStringLiteral("Unknown error"));
    }
  } catch (...) {
    // The error box itself failed (out of memory): there is nothing left to show it with.
  }
}

}  // namespace velmora
