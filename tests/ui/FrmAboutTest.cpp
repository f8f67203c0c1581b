// The About box: one at a time, its links, and the ways to close it.
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
    QTest::mouseClick(window_->findChild<QPushButton*>("Command5"), Qt::LeftButton);
    frmAbout* box = window_->AboutBox();
    if (!box) qFatal("the about button opened no box");
    return box;
  }
  static QLabel* Label(frmAbout* box, const char* name) { return box->findChild<QLabel*>(name); }
  int Boxes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return int(window_->findChildren<frmAbout*>().size());
  }

  ScriptedWindowDialogs dialogs_;
  std::unique_ptr<FrmMain> window_;

 private slots:
  void init() { window_ = ShowWindow<FrmMain>(dialogs_); }
  void cleanup() { window_.reset(); }

  // The box leaves the window usable; the command again shows the same box. OK, Escape and
  // the close box discard it, and the next one is filled anew; closing the window closes it.
  void oneBoxAtATimeUntilItIsClosed() {
    for (int way = 0; way < 4; ++way) {
      frmAbout* box = Open();
      QVERIFY(box->isVisible() && !box->isModal() && window_->isEnabled());
      QCOMPARE(box->focusWidget(), box->findChild<QPushButton*>("cmdOK"));
      QCOMPARE(Label(box, "lblVersion")->text(), QString("Version 1.0.0"));
      window_->m_about_Click();
      QCOMPARE(window_->AboutBox(), box);
      if (way == 0) QTest::mouseClick(box->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
      if (way == 1) QTest::keyClick(box, Qt::Key_Escape);
      if (way == 2) box->close();
      if (way == 3) QVERIFY(window_->close());
      QVERIFY(way < 3 ? Boxes() == 0 && !window_->AboutBox() : !box->isVisible());
    }
  }

  // The e-mail address and the two websites open; the rest are no links. A link that cannot be
  // opened is reported; the box stays either way.
  void theLinksOpenTheirTargetsAndTheBoxStays() {
    frmAbout* box = Open();
    for (const char* label : {"Label3", "Label6", "Label7", "Label1", "picIcon"})
      QTest::mouseClick(Label(box, label), Qt::LeftButton);
    QCOMPARE(dialogs_.urls,
             QStringList({"mailto:" + Label(box, "Label3")->text(), Label(box, "Label6")->text(),
                          Label(box, "Label7")->text()}));
    QVERIFY(dialogs_.messages.empty());
    dialogs_.urlsOpen = false;
    QTest::mouseClick(Label(box, "Label6"), Qt::LeftButton);
    QCOMPARE(int(dialogs_.messages.size()), 1);
    QCOMPARE(dialogs_.messages[0].prompt, "Cannot open " + Label(box, "Label6")->text() + ".");
    QVERIFY(box->isVisible());
  }
};

QTEST_MAIN(FrmAboutTest)
#include "FrmAboutTest.moc"
