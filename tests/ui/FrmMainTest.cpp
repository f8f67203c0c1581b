// The main window as the user sees it: its start values, the open command, the refusals and
// the keyboard.
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
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
  template <class T>
  T* Find(const char* name) {
    T* found = window_->findChild<T*>(name);
    if (!found) qFatal("no control named %s", name);
    return found;
  }
  QString Text(const char* label) { return Find<QLabel>(label)->text(); }

  ScriptedWindowDialogs dialogs_;
  std::unique_ptr<FrmMain> window_;
  QTemporaryDir dir_;

 private slots:
  void init() { window_ = ShowWindow<FrmMain>(dialogs_); }
  void cleanup() { window_.reset(); }

  void startsWithNothingLoaded() {
    QCOMPARE(window_->windowTitle(), QString("Duskmend v1.0"));
    QCOMPARE(Text("Label1"), QString("No Worldsave loaded..."));
    QCOMPARE(Text("Label5"), QString("0"));
    QCOMPARE(Text("Label6"), QString("0"));
    QCOMPARE(Text("lStatus"), QString("Status bar ;)"));
    QCOMPARE(Find<QWidget>("Shape2")->width(), 449);  // the bar starts full
    QCOMPARE(window_->focusWidget(), Find<QWidget>("Command1"));
  }

  void tabVisitsTheButtonsInTheirOrder() {
    QStringList order;
    QWidget* widget = Find<QWidget>("Command1");
    for (int step = 0; step < 6; ++step) {
      do
        widget = widget->nextInFocusChain();
      while (!(widget->focusPolicy() & Qt::TabFocus));
      order << widget->objectName();
    }
    QCOMPARE(order,
             QStringList({"Command3", "Command4", "Command5", "Command6", "Command7", "Command1"}));
  }

  void openShowsThePathAndCancelKeepsIt() {
    window_->Command1_Click();  // cancelled
    QCOMPARE(Text("Label1"), QString("No Worldsave loaded..."));
    QCOMPARE(dialogs_.openTitles, QStringList({"Open sphereworld.scp..."}));
    window_->Command7_Click();
    QCOMPARE(int(dialogs_.messages.size()), 1);
    QCOMPARE(dialogs_.messages[0].prompt, QString("Load a worldsave at first, please..."));

    const QString first = dir_.filePath("first world.scp");
    WriteFile(first, "[SECTOR 1,1]\r\nLOCALLIGHT=1\r\n");
    dialogs_.files = {first};
    window_->mf_open_Click();
    // The path as the system writes it: C:\folder\name on Windows.
    const QString shown = QString(first).replace('/', QDir::separator());
    QCOMPARE(Text("Label1"), shown);
    QCOMPARE(Find<QLabel>("Label1")->toolTip(), shown);  // all of a path the label cuts off
    window_->Command1_Click();                           // cancelled
    QCOMPARE(Text("Label1"), shown);
    window_->Command7_Click();
    QCOMPARE(Text("Label5"), QString("1"));
    QCOMPARE(Text("Label6"), QString("1"));

    dialogs_.files = {dir_.filePath("other.scp")};
    window_->Command1_Click();
    QCOMPARE(Text("Label5"), QString("1"));  // opening keeps the last counts
    QCOMPARE(Text("lStatus"), QString("100% - Ready"));
  }

  // Every button and menu entry does its command when clicked: with nothing loaded, each pass
  // says so at once.
  void everyButtonAndMenuEntryDoesItsCommand() {
    const auto click = [this](const char* name) {
      if (auto* button = window_->findChild<QPushButton*>(name))
        QTest::mouseClick(button, Qt::LeftButton);
      else
        Find<QAction>(name)->trigger();
    };
    for (const char* name : {"Command7", "Command3", "Command4", "me_removesse", "me_changesse"}) {
      dialogs_.messages.clear();
      click(name);
      QCOMPARE(int(dialogs_.messages.size()), 1);
      QCOMPARE(dialogs_.messages[0].prompt, QString("Load a worldsave at first, please..."));
      QCOMPARE(dialogs_.messages[0].style, 64);
      QCOMPARE(dialogs_.messages[0].title, QString("Hey, Dude!"));
    }
    QVERIFY(dialogs_.questions.isEmpty());
    QCOMPARE(Text("lStatus"), QString("Status bar ;)"));
    click("Command1");
    click("mf_open");
    QCOMPARE(dialogs_.openTitles.size(), 2);
    for (const char* name : {"Command5", "m_about"}) {
      click(name);
      QVERIFY(window_->AboutBox() && window_->AboutBox()->isVisible());
      window_->AboutBox()->close();
    }
    click("Command6");
    QVERIFY(!window_->isVisible());
  }

  // An access key clicks its button once, a moment later; Alt+A, shared by a button and the
  // menu, opens one box.
  void accessKeysRunTheirCommands() {
    QSignalSpy byMenu(Find<QAction>("m_about"), &QAction::triggered);
    QSignalSpy byButton(Find<QPushButton>("Command5"), &QPushButton::clicked);
    QTest::keyClick(window_.get(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(window_->AboutBox() && window_->AboutBox()->isVisible());
    QTest::qWait(300);  // long enough for a second, belated click
    QCOMPARE(byMenu.count() + byButton.count(), 1);
    QTest::keyClick(window_->AboutBox(), Qt::Key_Escape);
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_.get(), Qt::Key_X, Qt::AltModifier);
    QTRY_VERIFY(!window_->isVisible());
  }

  // Enter presses the focused button, as Space does; no button is the window's default.
  void enterPressesTheFocusedButton() {
    for (const char* name :
         {"Command1", "Command3", "Command4", "Command5", "Command7", "Command6"}) {
      auto* button = Find<QPushButton>(name);
      QSignalSpy clicked(button, &QPushButton::clicked);
      QVERIFY(!button->isDefault() && !button->autoDefault());
      QTest::keyClick(button, Qt::Key_Return);
      QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
      QTest::keyClick(button, Qt::Key_Return, Qt::ControlModifier);
      QCOMPARE(clicked.count(), 2);
    }
    QVERIFY(!window_->isVisible());  // Command6 came last
  }

  void menuAccessKeysOpenTheirMenus() {
    for (const char* key : {"m_file", "m_edit"}) {
      QMenu* menu = Find<QMenu>(key);
      QTest::keyClick(window_.get(), key[2] == 'f' ? Qt::Key_F : Qt::Key_E, Qt::AltModifier);
      QTRY_VERIFY(menu->isVisible());
      menu->close();
    }
  }
};

QTEST_MAIN(FrmMainTest)
#include "FrmMainTest.moc"
