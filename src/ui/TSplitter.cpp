#include "ui/TSplitter.h"

#include <QMouseEvent>
#include <QPainter>

namespace velmora {

TSplitter::TSplitter(Qt::Orientation orientation, ResizedPane resized, QWidget* parent)
    : QSplitter(orientation, parent), resized_(resized) {
  setOpaqueResize(false);
  setChildrenCollapsible(true);
}

void TSplitter::setHandleColor(const QColor& color) {
  handleColor_ = color;
  for (int i = 0; i < count(); ++i) handle(i)->update();
}

int TSplitter::settledPosition(int position) const {
  const int extent = orientation() == Qt::Horizontal ? width() : height();
  const int shared = qMax(extent - handleWidth(), 0);
  position = qBound(0, position, shared);
  const int pane = resized_ == ResizedPane::First ? position : shared - position;
  int settled = pane < kMinPaneSize ? 0 : qMin(pane, shared - kMinPaneSize);
  settled = qMax(settled, 0);
  return resized_ == ResizedPane::First ? settled : shared - settled;
}

void TSplitter::dragHandleTo(int position) { setRubberBand(settledPosition(position)); }

void TSplitter::releaseHandleAt(int position) {
  setRubberBand(-1);
  moveSplitter(settledPosition(position), 1);
}

QSplitterHandle* TSplitter::createHandle() { return new TSplitterHandle(orientation(), this); }

TSplitterHandle::TSplitterHandle(Qt::Orientation orientation, TSplitter* parent)
    : QSplitterHandle(orientation, parent), owner_(parent) {}

int TSplitterHandle::handlePosition(QMouseEvent* event) const {
  const QPoint inSplitter = owner_->mapFromGlobal(event->globalPosition().toPoint());
  return (orientation() == Qt::Horizontal ? inSplitter.x() : inSplitter.y()) - grabOffset_;
}

void TSplitterHandle::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = true;
  const QPoint local = event->position().toPoint();
  grabOffset_ = orientation() == Qt::Horizontal ? local.x() : local.y();
  owner_->dragHandleTo(handlePosition(event));
}

void TSplitterHandle::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) owner_->dragHandleTo(handlePosition(event));
}

void TSplitterHandle::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  owner_->releaseHandleAt(handlePosition(event));
}

void TSplitterHandle::paintEvent(QPaintEvent* event) {
  if (!owner_->handleColor().isValid()) {
    QSplitterHandle::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.fillRect(rect(), owner_->handleColor());
}

}  // namespace velmora
