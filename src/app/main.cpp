// The desktop program: one main window; closing it ends the program.

#include <QApplication>

#include "core/run/heap_policy.h"
#include "ui/AppIcons.h"
#include "ui/UnitFormMain.h"

int main(int argc, char* argv[]) {
  velmora::keepFreedMemoryForReuse();
  QApplication application(argc, argv);
  // Ties the windows to the installed desktop entry, so the task bar shows our icon and name.
  velmora::setupApplicationIdentity();
  velmora::TFormMain formMain;
  formMain.show();
  return application.exec();
}
