// The desktop program: one main window; closing it ends the program.

#include <QApplication>

#include "ui/UnitFormMain.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  velmora::TFormMain formMain;
  formMain.show();
  return application.exec();
}
