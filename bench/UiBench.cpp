// duskmend-uibench: runs the remove pass through the main window, on the offscreen
// platform, the way a click on "Remove all Local Lights" runs it.
//
//   duskmend-uibench PATH
//
// Prints the counts as "LIGHTS SECTORS" and the seconds that the click took on stdout.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <cstdio>

#include "FrmMain.h"
#include "WindowDialogs.h"

namespace {

// Answers the open dialog with the path given; anything else is a failure of the run.
class BenchDialogs : public WindowDialogs {
 public:
  explicit BenchDialogs(QString path) : path_(std::move(path)) {}
  void ShowMessage(QWidget*, const QString& prompt, int, const QString&) override {
    std::fprintf(stderr, "%s\n", qPrintable(prompt));
    failed = true;
  }
  QString AskForText(QWidget*, const QString&, const QString&) override { return {}; }
  QString ChooseFileToOpen(QWidget*, const QString&, const QStringList&) override { return path_; }
  bool OpenUrl(const QUrl&) override { return false; }
  bool failed = false;

 private:
  QString path_;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: duskmend-uibench PATH\n");
    return 2;
  }
  BenchDialogs dialogs(QString::fromLocal8Bit(argv[1]));
  FrmMain window(dialogs);
  window.show();
  QApplication::processEvents();
  window.Command1_Click();
  QElapsedTimer timer;
  timer.start();
  window.Command3_Click();
  const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  if (dialogs.failed) return 1;
  std::printf("%s %s %.3f\n", qPrintable(window.findChild<QLabel*>("Label5")->text()),
              qPrintable(window.findChild<QLabel*>("Label6")->text()), seconds);
  return 0;
}
