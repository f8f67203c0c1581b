// The window during the file calls that take long on a large save or a slow disk: it keeps
// painting and taking its commands, Exit among them. (What a user hears and types is Orca's
// session; a stop at any yield is the core's campaign.)
#include <QtTest>
#include <atomic>
#include <thread>

#include "FrmMain.h"
#include "TestSupport.h"
#include "WindowDialogs.h"

namespace {

// Opens the one file it is given, and asks nothing else.
class OpeningDialogs : public WindowDialogs {
 public:
  void ShowMessage(QWidget*, const QString& prompt, int, const QString&) override {
    qFatal("unexpected message: %s", qPrintable(prompt));
  }
  QString AskForText(QWidget*, const QString&, const QString&) override { return {}; }
  QString ChooseFileToOpen(QWidget*, const QString&, const QStringList&) override { return file; }
  bool OpenUrl(const QUrl&) override { return false; }

  QString file;
};

// A header whose section has more keys stays where its entry goes.
std::string Save(int lines, const char* light = "LOCALLIGHT=3\r\n") {
  std::string text;
  for (int i = 0; i < lines; ++i)
    text += i % 100 == 0 ? std::string("[SECTOR 1,1]\r\n") + light : "KEY=VALUE\r\n";
  return text;
}

}  // namespace

class FrmMainPassTest : public QObject {
  Q_OBJECT

 private slots:
  // Each slow call waits here until the window has looked at its events; an Exit clicked
  // during the last one closes the window once the pass is done, the save replaced.
  void aSlowFileCallLeavesTheWindowAnswering() {
    duskmend::test::TempDir dir;
    const std::string save = dir.Path("sphereworld.scp");
    duskmend::test::WriteFile(save, Save(1200));
    duskmend::test::WriteFile(save + "tmp", Save(1200).substr(0, 100));  // an earlier one's part
    OpeningDialogs dialogs;
    dialogs.file = QString::fromStdString(save);
    duskmend::test::ForwardingFileSystem files;
    FrmMain window(dialogs, files);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.Command1_Click();
    std::atomic<int> looks = 0;  // the times the window has looked at its events
    QTimer looker;
    connect(&looker, &QTimer::timeout, [&looks] { ++looks; });
    looker.start(0);
    QStringList slow, answered;  // the slow calls, and those during which the window answered
    QStringList kinds = {"Remove", "Sync", "Exchange", "SyncFolderOf", "Copy"};
    // Where a file can be replaced while open, the old save is closed last, which may free a
    // gigabyte: off the window's thread (elsewhere it is closed before the switch).
    if (files.ReplacesOpenFiles()) kinds << "Close";
    const std::thread::id windowThread = std::this_thread::get_id();
    files.fault = [&](const std::string& call) {
      const QString name = QString::fromStdString(call);
      if (!kinds.contains(name)) return std::error_code{};
      if (name == "Close" && std::this_thread::get_id() == windowThread) return std::error_code{};
      if (name == "Copy") QMetaObject::invokeMethod(&window, "close", Qt::QueuedConnection);
      slow << name;
      const int before = looks;
      for (int i = 0; i < 200 && looks == before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (looks != before) answered << name;
      return std::error_code{};
    };
    window.Command3_Click();
    QCOMPARE(answered, slow);
    slow.removeDuplicates();
    QCOMPARE(slow.size(), kinds.size());
    QVERIFY(!window.isVisible());
    QCOMPARE(window.findChild<QWidget*>("Shape2")->width(),
             375);  // the bar at 83 %, where it stopped
    QVERIFY(duskmend::test::ReadFile(save) == Save(1200, ""));
  }
};

QTEST_MAIN(FrmMainPassTest)
#include "FrmMainPassTest.moc"
