#pragma once
// A splitter that resizes one pane the way a classic desktop splitter does: while dragging,
// only a hatched line shows where the pane's edge will go; on release the pane takes that size.
// A pane dragged below the minimum size snaps shut, and the pane opposite keeps at least that
// size.

#include <QColor>
#include <QSplitter>
#include <QSplitterHandle>

namespace velmora {

class TSplitter : public QSplitter {
  Q_OBJECT

 public:
  static constexpr int kMinPaneSize = 30;

  enum class ResizedPane { First, Second };

  // Holds exactly two panes; `resized` is the one whose size the user sets, the other takes
  // what is left when the window is resized.
  TSplitter(Qt::Orientation orientation, ResizedPane resized, QWidget* parent = nullptr);

  void setHandleColor(const QColor& color);
  QColor handleColor() const { return handleColor_; }

  // The handle position a drag to `position` settles at.
  int settledPosition(int position) const;

  // Drags the handle as the mouse does: the line follows, the pane changes on release.
  void dragHandleTo(int position);
  void releaseHandleAt(int position);

  // The line that shows the new position while the handle is dragged; hidden otherwise.
  QWidget* dragLine() const { return dragLine_; }

 protected:
  QSplitterHandle* createHandle() override;
  void childEvent(QChildEvent* event) override;

 private:
  ResizedPane resized_;
  QColor handleColor_;
  QWidget* dragLine_ = nullptr;
};

class TSplitterHandle : public QSplitterHandle {
  Q_OBJECT

 public:
  TSplitterHandle(Qt::Orientation orientation, TSplitter* parent);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  int handlePosition(QMouseEvent* event) const;

  TSplitter* owner_;
  bool dragging_ = false;
  int grabOffset_ = 0;
};

}  // namespace velmora
