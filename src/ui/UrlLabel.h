#pragma once

#include <QLabel>
#include <QString>

namespace velmora {

// A label that opens an address when clicked, drawn the way the about box shows its links:
// Verdana 11 px underlined, one colour until the link has been opened and another afterwards.
class TRzURLLabel : public QLabel {
  Q_OBJECT

 public:
  static const QColor kLinkColour;
  static const QColor kVisitedColour;

  explicit TRzURLLabel(QWidget* parent = nullptr);

  // The address the label opens; when blank the caption itself is opened.
  void setUrl(const QString& url) { url_ = url; }
  QString url() const { return url_; }
  bool visited() const { return visited_; }

  // Opens the link through the program's opener; the label turns to its visited colour only
  // when the desktop accepted the address, and a failure stays silent.
  void openLink();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void applyColour();

  QString url_;
  bool visited_ = false;
};

}  // namespace velmora
