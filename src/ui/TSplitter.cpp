#include "ui/TSplitter.h"

#include <QMouseEvent>
#include <QPainter>

namespace velmora {

namespace {

// Every other pixel black, in a checkerboard: the panes stay visible through the line.
class HatchedLine : public QWidget {
 public:
  HatchedLine() {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), QBrush(Qt::black, Qt::Dense4Pattern));
  }
};

}  // namespace

TSplitter::TSplitter(Qt::Orientation orientation, ResizedPane resized, QWidget* parent)
    : QSplitter(orientation, parent), resized_(resized) {
  setOpaqueResize(false);
  setChildrenCollapsible(true);
  dragLine_ = new HatchedLine;
  dragLine_->setParent(this);  // known by now, so it is not taken for a pane
}

// Every other child widget becomes a pane; the drag line stays out of the panes.
void TSplitter::childEvent(QChildEvent* event) {
  if (dragLine_ && event->child() == dragLine_) return;
  QSplitter::childEvent(event);
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

void TSplitter::dragHandleTo(int position) {
  const int settled = settledPosition(position);
  const QRect area = contentsRect();
  dragLine_->setGeometry(orientation() == Qt::Horizontal
                             ? QRect(settled, area.y(), handleWidth(), area.height())
                             : QRect(area.x(), settled, area.width(), handleWidth()));
  dragLine_->raise();
  dragLine_->show();
}

void TSplitter::releaseHandleAt(int position) {
  dragLine_->hide();
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
