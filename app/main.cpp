// Duskmend: starts the main window; nothing else runs at start.
#include <QApplication>

#include "FrmMain.h"
#include "QtWindowDialogs.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QtWindowDialogs dialogs;
  FrmMain window(dialogs);
  window.show();
  return application.exec();
}
