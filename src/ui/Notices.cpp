#include "ui/Notices.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtMath>
#include <algorithm>
#include <new>
#include <stdexcept>

#include "core/errors.h"
#include "core/version.h"

namespace velmora {
namespace {

class DialogPresenter : public NoticePresenter {
 public:
  void notice(const QString& text) override {
    createNoticeDialog(text, NoticeKind::Notice)->exec();
  }
  void errorBox(const QString& text, const QString& file) override {
    QApplication::beep();
    createNoticeDialog(text, NoticeKind::Error, file)->exec();
  }
};

NoticePresenter* installedPresenter = nullptr;
int boxesOpen = 0;

// Counts a box as open while the presenter shows it, however it leaves.
class OpenBox {
 public:
  OpenBox() { ++boxesOpen; }
  ~OpenBox() { --boxesOpen; }
  OpenBox(const OpenBox&) = delete;
  OpenBox& operator=(const OpenBox&) = delete;
};

// The box's text, looking like a label but wrapped the way a label cannot: at blanks where it
// can, and inside a word (a long file name) where it must, so every character can be read. It
// keeps its widest line whole up to half the screen and wraps only beyond that. The text stays
// selectable, for copying a file name out of the box.
QTextEdit* messageText(QDialog* box, const QString& text, int halfScreen) {
  auto* message = new QTextEdit(box);
  message->setObjectName(QStringLiteral("Message"));
  message->setReadOnly(true);
  message->setTextInteractionFlags(Qt::TextSelectableByMouse);
  message->setFocusPolicy(Qt::NoFocus);
  message->setFrameShape(QFrame::NoFrame);
  message->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  message->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  message->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  QPalette colours = message->palette();
  colours.setColor(QPalette::Base, Qt::transparent);
  colours.setColor(QPalette::Text, colours.color(QPalette::WindowText));
  message->setPalette(colours);
  message->document()->setDocumentMargin(0);
  message->setPlainText(text);
  message->ensurePolished();  // measured in the font it is shown in

  const int widestLine = message->fontMetrics()
                             .boundingRect(QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), 0, text)
                             .width();
  const int width = std::min(widestLine + 1, halfScreen);
  // Measured on a copy: the edit lays its own text out only once it is shown.
  QTextDocument measure;
  measure.setDefaultFont(message->font());
  measure.setDefaultTextOption(message->document()->defaultTextOption());
  measure.setDocumentMargin(0);
  measure.setPlainText(text);
  measure.setTextWidth(width);
  message->setFixedSize(width, qCeil(measure.size().height()));
  return message;
}

NoticePresenter& presenter() {
  static DialogPresenter dialogs;
  return installedPresenter ? *installedPresenter : dialogs;
}

}  // namespace

void setNoticePresenter(NoticePresenter* presenter) { installedPresenter = presenter; }

void showNotice(const QString& text) {
  OpenBox open;
  presenter().notice(text);
}

void showApplicationError(const QString& message, const QString& file) {
  OpenBox open;
  presenter().errorBox(withFullStop(message), file);
}

bool noticeOpen() { return boxesOpen > 0; }

QString errorFile(const std::exception& error) {
  const auto* engineError = dynamic_cast<const Error*>(&error);
  if (!engineError) return QString();
  return QFile::decodeName(QByteArray::fromStdString(engineError->file()));
}

QString errorText(const std::exception& error) {
  // Out of memory surfaces as bad_alloc, or as length_error when a size overflows.
  if (dynamic_cast<const std::bad_alloc*>(&error) || dynamic_cast<const std::length_error*>(&error))
    return QStringLiteral("Out of memory");
  // Run-time errors carry a message written for people; the library's logic errors and
  // bad_cast-like ones carry only the name of a class or function.
  if (dynamic_cast<const std::runtime_error*>(&error)) return QString::fromUtf8(error.what());
  return QStringLiteral("Unknown error");
}

QString withFullStop(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
  return message;
}

std::unique_ptr<QDialog> createNoticeDialog(const QString& text, NoticeKind kind,
                                            const QString& file) {
  auto dialog = std::make_unique<QDialog>();
  dialog->setWindowTitle(QString::fromUtf8(kApplicationTitle));
  dialog->setAccessibleDescription(file);
  dialog->setObjectName(kind == NoticeKind::Error ? QStringLiteral("ErrorBox")
                                                  : QStringLiteral("Notice"));

  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect screenArea = screen ? screen->geometry() : QRect(0, 0, 1024, 768);

  QTextEdit* message = messageText(dialog.get(), text, screenArea.width() / 2);

  auto* row = new QHBoxLayout;
  if (kind == NoticeKind::Error) {
    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("Icon"));
    const int side = dialog->style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    icon->setPixmap(
        dialog->style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(side, side));
    icon->setAlignment(Qt::AlignTop);
    row->addWidget(icon);
  }
  row->addWidget(message, 1);

  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setObjectName(QStringLiteral("OK"));
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, dialog.get(), &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();

  auto* column = new QVBoxLayout(dialog.get());
  column->addLayout(row);
  column->addLayout(buttons);
  column->setSizeConstraint(QLayout::SetFixedSize);

  dialog->adjustSize();
  const QSize size = dialog->sizeHint();
  dialog->move(screenArea.x() + (screenArea.width() - size.width()) / 2,
               screenArea.y() + (screenArea.height() - size.height()) / 2);
  ok->setFocus();
  return dialog;
}

}  // namespace velmora
