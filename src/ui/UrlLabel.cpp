#include "ui/UrlLabel.h"

#include <QMouseEvent>
#include <QPalette>
#include <QUrl>

#include "ui/UrlOpener.h"

namespace velmora {

const QColor TRzURLLabel::kLinkColour(60, 60, 120);
const QColor TRzURLLabel::kVisitedColour(130, 95, 70);

TRzURLLabel::TRzURLLabel(QWidget* parent) : QLabel(parent) {
  QFont linkFont(QStringLiteral("Verdana"));
  linkFont.setPixelSize(11);
  linkFont.setUnderline(true);
  setFont(linkFont);
  setCursor(Qt::PointingHandCursor);
  applyColour();
}

void TRzURLLabel::openLink() {
  QString target = url_.trimmed();
  if (target.isEmpty()) target = text().trimmed();
  if (target.isEmpty()) return;
  if (!openUrl(QUrl(target, QUrl::TolerantMode))) return;
  visited_ = true;
  applyColour();
}

void TRzURLLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  // A click is a release of the left button over the label, as for a push button.
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    openLink();
  }
}

void TRzURLLabel::applyColour() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, visited_ ? kVisitedColour : kLinkColour);
  setPalette(colours);
}

}  // namespace velmora
