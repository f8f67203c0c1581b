// The main window as the user meets it: the open command, the refusals, a shared access key.
// (Tab, Return and the menus' keys are heard in Orca's session.)
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "FrmMain.h"
#include "UiTestSupport.h"
#include "frmAbout.h"

class FrmMainTest : public QObject {
  Q_OBJECT

 private:
  template <class T = QWidget>
  T* Find(const char* name) {
    T* found = window_->findChild<T*>(name);
    if (!found) qFatal("no control named %s", name);
    return found;
  }
  QString Text(const char* label) { return Find<QLabel>(label)->text(); }
  void Click(const char* name) {
    if (auto* button = window_->findChild<QPushButton*>(name))
      QTest::mouseClick(button, Qt::LeftButton);
    else
      Find<QAction>(name)->trigger();
  }

  ScriptedWindowDialogs dialogs_;
  std::unique_ptr<FrmMain> window_;
  QTemporaryDir dir_;

 private slots:
  void init() { window_ = ShowWindow<FrmMain>(dialogs_); }
  void cleanup() { window_.reset(); }

  // With nothing loaded every pass, by button or menu, says so at once. Open shows the path
  // (all of it in the tooltip, where the label cuts it off), a cancel keeps it, and the counts
  // stay until the next pass.
  void openShowsThePathAndNothingLoadedIsRefused() {
    QCOMPARE(Text("Label1") + "|" + Text("Label5") + "|" + Text("lStatus"),
             QString("No Worldsave loaded...|0|Status bar ;)"));
    for (const char* name : {"Command7", "Command3", "Command4", "me_removesse", "me_changesse"}) {
      dialogs_.messages.clear();
      Click(name);
      QCOMPARE(int(dialogs_.messages.size()), 1);
      QCOMPARE(dialogs_.messages[0].prompt, QString("Load a worldsave at first, please..."));
    }
    QVERIFY(dialogs_.questions.isEmpty());
    const QString first = dir_.filePath("first world.scp");
    WriteFile(first, "[SECTOR 1,1]\r\nLOCALLIGHT=1\r\n");
    dialogs_.files = {first};
    Click("mf_open");
    Click("Command1");                                      // cancelled
    const QString shown = QDir::toNativeSeparators(first);  // C:\folder\name on Windows
    QCOMPARE(Text("Label1") + "|" + Find("Label1")->toolTip(), shown + "|" + shown);
    QCOMPARE(dialogs_.openTitles.size(), 2);
    Click("Command7");
    QVERIFY(window_->isVisible());  // a pass ends nothing else
    dialogs_.files = {dir_.filePath("other.scp")};
    Click("Command1");
    QCOMPARE(Text("Label5") + " " + Text("Label6") + " " + Text("lStatus"),
             QString("1 1 100% - Ready"));
  }

  // Alt+A, shared by a button and the menu, opens one box, once.
  void anAccessKeySharedByAButtonAndTheMenuRunsOnce() {
    QSignalSpy byMenu(Find<QAction>("m_about"), &QAction::triggered);
    QSignalSpy byButton(Find<QPushButton>("Command5"), &QPushButton::clicked);
    QTest::keyClick(window_.get(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(window_->AboutBox() && window_->AboutBox()->isVisible());
    QTest::qWait(300);  // long enough for a second, belated click
    QCOMPARE(byMenu.count() + byButton.count(), 1);
  }
};

QTEST_MAIN(FrmMainTest)
#include "FrmMainTest.moc"
