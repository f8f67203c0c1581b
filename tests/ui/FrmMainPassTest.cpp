// The passes as the window runs them: the same result from a button and its menu entry,
// the progress while they run, the commands they lock, and the exit command during a pass.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "FrmMain.h"
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

// Counts the paint events that a widget receives.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

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
  std::unique_ptr<ObservedFrmMain> window_;
  QTemporaryDir dir_;
  QString save_;

 private slots:
  void init() {
    window_ = ShowWindow<ObservedFrmMain>(dialogs_);
    save_ = dir_.filePath("sphereworld.scp");
    QFile::remove(save_ + "tmp");
  }
  void cleanup() { window_.reset(); }

  void aButtonAndItsMenuEntryGiveTheSameResult_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("entry");
    QTest::newRow("remove") << "Command3"
                            << "me_removesse";
    QTest::newRow("change") << "Command4"
                            << "me_changesse";
  }
  void aButtonAndItsMenuEntryGiveTheSameResult() {
    QFETCH(QString, button);
    QFETCH(QString, entry);
    dialogs_.answer = "12";
    QByteArray results[2];
    QString counts[2];
    for (int way = 0; way < 2; ++way) {
      WriteFile(save_, Save(1200));
      Load(save_);
      if (way == 0)
        QTest::mouseClick(window_->findChild<QPushButton*>(button), Qt::LeftButton);
      else
        window_->findChild<QAction*>(entry)->trigger();
      results[way] = ReadFile(save_);
      counts[way] = Text("Label5") + " " + Text("Label6");
    }
    QCOMPARE(results[0], results[1]);
    QVERIFY(results[0] != Save(1200));
    QCOMPARE(counts[0], counts[1]);
    QCOMPARE(counts[0], QString("12 12"));
  }

  void theBarAndTheStatusMoveWhileAPassRuns() {
    WriteFile(save_, Save(1200));
    Load(save_);
    QStringList seen;
    window_->onYield = [&] {
      seen << Text("lStatus") + " " +
                  QString::number(window_->findChild<QWidget*>("Shape2")->width());
    };
    window_->Command7_Click();
    // The analysis pass yields before it shows a step: each yield paints the one before.
    QCOMPARE(seen, QStringList({"Status bar ;) 449", "41 % 188"}));
    QCOMPARE(Text("lStatus"), QString("100% - Ready"));
    QCOMPARE(window_->findChild<QWidget*>("Shape2")->width(), 449);
    QCOMPARE(Text("Label5"), QString("12"));
    QCOMPARE(Text("Label6"), QString("12"));
  }

  // 2000 progress steps on a bar of 449 pixels and 101 percentages: most steps change
  // nothing that can be seen, and those paint nothing. The text stands on the bar, so the
  // two are painted together when either changes.
  void onlyAVisibleChangeRepaints() {
    WriteFile(save_, Save(1000500));
    Load(save_);
    PaintCounter status;
    PaintCounter bar;
    window_->findChild<QLabel*>("lStatus")->installEventFilter(&status);
    window_->findChild<QWidget*>("Shape2")->installEventFilter(&bar);
    int yields = 0;
    window_->onYield = [&] { ++yields; };
    window_->Command7_Click();
    QCOMPARE(yields, 2000);
    QVERIFY2(bar.paints <= 449 + 101 + 5, qPrintable(QString::number(bar.paints)));
    QVERIFY2(status.paints <= 449 + 101 + 5, qPrintable(QString::number(status.paints)));
  }

  void aRunningPassLocksTheCommandsThatWouldDisturbIt() {
    WriteFile(save_, Save(1200));
    Load(save_);
    const QString other = dir_.filePath("other.scp");
    WriteFile(other, "A=1\r\n");
    QStringList enabled;
    window_->onYield = [&] {
      if (!enabled.isEmpty()) return;
      for (QObject* command : window_->findChildren<QPushButton*>()) {
        if (static_cast<QWidget*>(command)->isEnabled()) enabled << command->objectName();
      }
      for (QAction* command : window_->findChildren<QAction*>()) {
        if (command->isEnabled() && !command->isSeparator() && !command->objectName().isEmpty()) {
          enabled << command->objectName();
        }
      }
      dialogs_.files = {other};
      QTest::mouseClick(window_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
      window_->findChild<QAction*>("me_changesse")->trigger();
      window_->Command7_Click();  // even a direct call starts no second pass
    };
    window_->Command3_Click();
    enabled.sort();
    QCOMPARE(enabled, QStringList({"Command5", "Command6", "m_about", "mf_exit"}));
    QCOMPARE(Text("Label1"), save_);
    QVERIFY(dialogs_.questions.isEmpty());
    QVERIFY(!ReadFile(save_).contains("LOCALLIGHT"));
    QCOMPARE(ReadFile(other), QByteArray("A=1\r\n"));
    QVERIFY(window_->findChild<QPushButton*>("Command1")->isEnabled());
  }

  // The exit command in a yield: before the switch the save stays as it was; once the
  // replace step has begun, it completes. Either way the window then closes.
  void exitDuringAPassLeavesTheSaveWhole_data() {
    QTest::addColumn<int>("yield");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<bool>("byCloseBox");
    QTest::newRow("progress step, exit button") << 1 << false << false;
    QTest::newRow("progress step, close box") << 2 << false << true;
    QTest::newRow("files closed") << 3 << false << false;
    QTest::newRow("after the copy") << 4 << true << true;
    QTest::newRow("after the switch") << 5 << true << false;
  }
  void exitDuringAPassLeavesTheSaveWhole() {
    QFETCH(int, yield);
    QFETCH(bool, replaced);
    QFETCH(bool, byCloseBox);
    WriteFile(save_, Save(1200));
    Load(save_);
    int yields = 0;
    window_->onYield = [&] {
      if (++yields != yield) return;
      if (byCloseBox)
        window_->close();
      else
        window_->Command6_Click();
      QVERIFY(window_->isVisible());  // not before the pass has stopped
    };
    window_->Command3_Click();
    QVERIFY(!window_->isVisible());
    QCOMPARE(ReadFile(save_) == Save(1200), !replaced);
    QCOMPARE(QFile::exists(save_ + "tmp"), replaced);
    if (replaced) QCOMPARE(ReadFile(save_ + "tmp"), ReadFile(save_));
    QCOMPARE(Text("lStatus") == "100% - Ready", false);
  }
};

QTEST_MAIN(FrmMainPassTest)
#include "FrmMainPassTest.moc"
