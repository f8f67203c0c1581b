// The passes as the window runs them: the progress while they run, slow file calls, the
// commands they lock, and the exit command during a pass.
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <functional>
#include <thread>

#include "FrmMain.h"
#include "TestSupport.h"
#include "UiTestSupport.h"

namespace {

// The main window, with a look at what it shows in every yield of a pass.
class ObservedFrmMain : public FrmMain {
 public:
  using FrmMain::FrmMain;
  void YieldToEvents() override {
    if (onYield) onYield();
    FrmMain::YieldToEvents();
  }
  std::function<void()> onYield;
};

QByteArray Save(int lines) {
  QByteArray text;
  for (int i = 0; i < lines; ++i) {
    text += i % 100 == 0 ? "[SECTOR 1,1]\r\nLOCALLIGHT=3\r\n" : "KEY=VALUE\r\n";
  }
  return text;
}

}  // namespace

class FrmMainPassTest : public QObject {
  Q_OBJECT

 private:
  QString Text(const char* label) { return window_->findChild<QLabel*>(label)->text(); }
  void Load(const QString& path) {
    dialogs_.files = {path};
    window_->Command1_Click();
  }

  ScriptedWindowDialogs dialogs_;
  duskmend::test::ForwardingFileSystem files_;  // the machine's own, unless a test has it lag
  std::unique_ptr<ObservedFrmMain> window_;
  QTemporaryDir dir_;
  QString save_;

 private slots:
  void init() {
    files_.fault = nullptr;
    window_ = ShowWindow<ObservedFrmMain>(dialogs_, files_);
    save_ = dir_.filePath("sphereworld.scp");
    QFile::remove(save_ + "tmp");
  }
  void cleanup() { window_.reset(); }

  // The file calls that can take long on a large save or a slow disk leave the window
  // answering meanwhile: each waits here until the window has looked at its events.
  void aSlowFileCallLeavesTheWindowAnswering() {
    WriteFile(save_, Save(1200));
    WriteFile(save_ + "tmp", "an earlier temp file");
    Load(save_);
    std::atomic<int> looks = 0;  // the times the window has looked at its events
    QTimer looker;
    connect(&looker, &QTimer::timeout, [&looks] { ++looks; });
    looker.start(0);
    QStringList slow, answered;  // the slow calls, and those during which the window answered
    QStringList kinds = {"Remove", "Sync", "Exchange", "SyncFolderOf", "Copy"};
    // Where a file can be replaced while open, the old save is closed last, which may free a
    // gigabyte: off the window's thread (elsewhere it is closed before the switch).
    if (files_.ReplacesOpenFiles()) kinds << "Close";
    const std::thread::id window = std::this_thread::get_id();
    files_.fault = [&](const std::string& call) {
      const QString name = QString::fromStdString(call);
      if (!kinds.contains(name)) return std::error_code{};
      if (name == "Close" && std::this_thread::get_id() == window) return std::error_code{};
      slow << name;
      const int before = looks;
      for (int i = 0; i < 200 && looks == before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (looks != before) answered << name;
      return std::error_code{};
    };
    window_->Command3_Click();
    QCOMPARE(answered, slow);
    slow.removeDuplicates();
    QCOMPARE(slow.size(), kinds.size());
    QVERIFY(!ReadFile(save_).contains("LOCALLIGHT"));
  }

  // While a pass runs, the bar and the status move, and the commands that would start another
  // pass or change its file are off; the focused one (Open, here) stays on and does nothing.
  void aRunningPassShowsItsStepsAndLocksTheCommandsThatWouldDisturbIt() {
    WriteFile(save_, Save(1200));
    Load(save_);
    const QString other = dir_.filePath("other.scp");
    WriteFile(other, "A=1\r\n");
    QStringList off, seen;
    window_->onYield = [&] {
      seen << Text("lStatus") + " " +
                  QString::number(window_->findChild<QWidget*>("Shape2")->width());
      if (!off.isEmpty()) return;
      for (QObject* command : window_->findChildren<QObject*>())
        if (command->property("enabled") == false) off << command->objectName();
      dialogs_.files = {other};
      QTest::mouseClick(window_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
      window_->findChild<QAction*>("me_changesse")->trigger();
      window_->Command7_Click();  // even a direct call starts no second pass
    };
    window_->Command3_Click();
    // Each step's yield paints it; the last one stays through the end's three yields.
    QCOMPARE(seen, QStringList({"41 % 188", "83 % 375", "83 % 375", "83 % 375", "83 % 375"}));
    QCOMPARE(
        Text("lStatus") + " " + QString::number(window_->findChild<QWidget*>("Shape2")->width()),
        QString("100% - Ready 449"));
    QCOMPARE(Text("Label5") + " " + Text("Label6"), QString("12 12"));
    off.sort();
    QCOMPARE(off, QStringList({"Command3", "Command4", "Command7", "me_changesse", "me_removesse",
                               "mf_open"}));
    QCOMPARE(Text("Label1"), QDir::toNativeSeparators(save_));
    QVERIFY(dialogs_.questions.isEmpty());
    QVERIFY(!ReadFile(save_).contains("LOCALLIGHT"));
    QCOMPARE(ReadFile(other), QByteArray("A=1\r\n"));
    QVERIFY(window_->findChild<QPushButton*>("Command1")->isEnabled());
  }

  // Exit in the k-th yield of a rewriting pass, by any of its ways: the save is old for every
  // yield before the switch and new from the switch on; the window closes once the pass has
  // stopped. Alt+X clicks at once, not after the button's animation; an exit that waits in
  // the queue is seen at the end-of-pass yield that comes next, which is never skipped.
  void exitAtAnyYieldLeavesTheSaveOldBeforeTheSwitchAndNewAfter() {
    const auto run = [&](const char* button, const std::function<void(int)>& onYield) {
      WriteFile(save_, Save(1200));
      QFile::remove(save_ + "tmp");
      window_ = ShowWindow<ObservedFrmMain>(dialogs_);
      dialogs_.answer = "12";
      Load(save_);
      int yields = 0;
      window_->onYield = [&] { onYield(++yields); };
      QTest::mouseClick(window_->findChild<QPushButton*>(button), Qt::LeftButton);
      return yields;
    };
    for (const char* button : {"Command3", "Command4"}) {
      int switched = 0;  // the first yield that sees the new save
      const int all = run(button, [&](int k) {
        if (!switched && ReadFile(save_) != Save(1200)) switched = k;
      });
      QVERIFY(switched > 1);
      for (const QString way : {"Alt+X", "close box", "queued exit", "File Exit"}) {
        for (int k = 1; k <= all; ++k) {
          const int yields = run(button, [&](int yield) {
            if (yield != k) return;
            if (way == "Alt+X")
              QTest::keyClick(window_.get(), Qt::Key_X, Qt::AltModifier);
            else if (way == "close box")
              window_->close();
            else if (way == "queued exit")
              QMetaObject::invokeMethod(window_.get(), "close", Qt::QueuedConnection);
            else
              window_->findChild<QAction*>("mf_exit")->trigger();
            QVERIFY(window_->isVisible());  // not before the pass has stopped
          });
          const bool after = k >= switched;
          const QString at = QString("%1, %2 at yield %3 of %4").arg(button, way).arg(k).arg(all);
          QVERIFY2(!window_->isVisible(), qPrintable(at));
          QVERIFY2((ReadFile(save_) == Save(1200)) == !after, qPrintable(at));
          QVERIFY2(QFile::exists(save_ + "tmp") == after, qPrintable(at));
          QVERIFY2(yields == (after ? all : k) || way == "queued exit", qPrintable(at));
          QVERIFY2(Text("lStatus") != "100% - Ready", qPrintable(at));
        }
      }
    }
  }
};

QTEST_MAIN(FrmMainPassTest)
#include "FrmMainPassTest.moc"
