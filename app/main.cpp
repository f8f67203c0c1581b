// Duskmend: starts the main window; nothing else runs at start.
#include <QApplication>
#include <QSocketNotifier>

#include "FrmMain.h"
#include "QtWindowDialogs.h"
#include "StopSignals.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QtWindowDialogs dialogs;
  FrmMain window(dialogs);
  // A request of the system to end the program is the exit command: a running pass stops
  // at its next yield, then the window closes.
  duskmend::stop_signals::Install();
  if (const int wake = duskmend::stop_signals::WakeDescriptor(); wake >= 0) {
    auto* notifier = new QSocketNotifier(wake, QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
      duskmend::stop_signals::DrainWake();
      window.SystemExitRequest();
    });
  }
  window.show();
  return application.exec();
}
