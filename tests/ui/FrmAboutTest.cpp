// The About box: one at a time, its texts, its links, and the ways to close it.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "FrmMain.h"
#include "UiTestSupport.h"
#include "frmAbout.h"

class FrmAboutTest : public QObject {
  Q_OBJECT

 private:
  frmAbout* Open() {
    window_->Command5_Click();
    frmAbout* box = window_->AboutBox();
    if (!box) qFatal("the about command opened no box");
    return box;
  }
  static QString Text(frmAbout* box, const char* label) {
    return box->findChild<QLabel*>(label)->text();
  }
  static void Click(frmAbout* box, const char* label) {
    QTest::mouseClick(box->findChild<QLabel*>(label), Qt::LeftButton);
  }
  int Boxes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return int(window_->findChildren<frmAbout*>().size());
  }

  ScriptedWindowDialogs dialogs_;
  std::unique_ptr<FrmMain> window_;

 private slots:
  void init() { window_ = ShowWindow<FrmMain>(dialogs_); }
  void cleanup() { window_.reset(); }

  void theAboutCommandOpensOneBoxWithItsTexts() {
    frmAbout* box = Open();
    QVERIFY(box->isVisible() && !box->isModal() && window_->isEnabled());
    window_->m_about_Click();
    window_->Command5_Click();
    QCOMPARE(window_->AboutBox(), box);
    QCOMPARE(Boxes(), 1);
    QCOMPARE(box->windowTitle(), QString("About Duskmend"));
    QCOMPARE(Text(box, "lblVersion"), QString("Version 1.0.0"));
    QCOMPARE(box->focusWidget(), box->findChild<QPushButton*>("cmdOK"));
  }

  void okEscapeAndTheCloseBoxDiscardTheBox() {
    for (int way = 0; way < 3; ++way) {
      frmAbout* box = Open();
      if (way == 0) QTest::mouseClick(box->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
      if (way == 1) QTest::keyClick(box, Qt::Key_Escape);
      if (way == 2) box->close();
      QCOMPARE(window_->AboutBox(), nullptr);
      QCOMPARE(Boxes(), 0);
    }
    QCOMPARE(Text(Open(), "lblVersion"), QString("Version 1.0.0"));  // created anew, filled again
  }

  // A link that cannot be opened is reported; the box stays either way.
  void theLinksOpenTheirTargetsAndTheBoxStays() {
    frmAbout* box = Open();
    const QString mail = Text(box, "Label3");
    for (const char* label : {"Label3", "Label6", "Label7", "Label1", "picIcon"})
      Click(box, label);
    QCOMPARE(dialogs_.urls,
             QStringList({"mailto:" + mail, Text(box, "Label6"), Text(box, "Label7")}));
    QVERIFY(dialogs_.messages.empty());
    dialogs_.urlsOpen = false;
    Click(box, "Label6");
    QCOMPARE(int(dialogs_.messages.size()), 1);
    QCOMPARE(dialogs_.messages[0].prompt, "Cannot open " + Text(box, "Label6") + ".");
    QVERIFY(box->isVisible());
  }

  void closingTheMainWindowClosesTheBox() {
    frmAbout* box = Open();
    QVERIFY(window_->close());
    QVERIFY(!box->isVisible());
  }
};

QTEST_MAIN(FrmAboutTest)
#include "FrmAboutTest.moc"
