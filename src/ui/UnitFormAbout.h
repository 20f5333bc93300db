#pragma once

#include <QDialog>

class QLabel;
class QTextEdit;
class QPushButton;

namespace velmora {

class TRzURLLabel;

// The about box: the program icon, name and version, the home page and mail links, and a short
// description. A new box is built for every showing and destroyed when it closes.
class TFormAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TFormAbout(QWidget* owner = nullptr);

  // What the main window's "关于" button does: builds a box owned by the window, stamps the
  // version into it, shows it modally and destroys it when it is closed.
  static void showAbout(QWidget* owner);

  QLabel* Image1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label5;
  TRzURLLabel* RzURLLabel4;
  QLabel* Label6;
  TRzURLLabel* RzURLLabel1;
  QTextEdit* Memo1;
  QTextEdit* Memo2;
  QPushButton* Button1;

 private:
  void setupWidgets();
  void setupConnections();
  void Button1Click();
};

}  // namespace velmora
