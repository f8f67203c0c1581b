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
    QCOMPARE(Text(box, "lblTitle"), QString("Duskmend"));
    QCOMPARE(Text(box, "lblVersion"), QString("Version 1.0.0"));
    QCOMPARE(box->size(), QSize(397, 259));
    QCOMPARE(box->minimumSize(), box->maximumSize());
    QCOMPARE(box->focusWidget(), box->findChild<QPushButton*>("cmdOK"));
    // Every line shows whole; the backup warning in the dialog font at 8 points, or as near to
    // it as lets it fit, but no smaller than 6 (wine's stand-in fonts are wider).
    const QLabel* warning = box->findChild<QLabel*>("Label8");
    for (const QLabel* label : box->findChildren<QLabel*>()) {
      QVERIFY2(label->wordWrap() || label == warning ||
                   label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
               qPrintable(label->objectName()));
    }
    QFont font = warning->font();
    const qreal size = font.pointSizeF();
    const auto fits = [warning](const QFont& tried) {
      return QFontMetrics(tried).horizontalAdvance(warning->text()) <= warning->width();
    };
    QVERIFY(size <= 8 && (size <= 6 || fits(font)));
    font.setPointSizeF(size + 0.25);
    QVERIFY(size == 8 || !fits(font));
  }

  void aNarrowDialogFontKeepsItsEightPoints() {
    const QFont normal = QApplication::font();
    QFont narrow = normal;
    narrow.setLetterSpacing(QFont::PercentageSpacing, 50);
    QApplication::setFont(narrow);
    const qreal size = Open()->findChild<QLabel*>("Label8")->font().pointSizeF();
    QApplication::setFont(normal);
    QCOMPARE(size, 8.0);
  }

  // An engraved rule from edge to edge: a grey line over a white one two pixels high.
  void theRuleIsEngravedFromEdgeToEdge() {
    const QImage image = Open()->grab().toImage();
    QString rows;  // a letter for each row: grey or white from edge to edge, or anything else
    for (int y = 0; y < image.height(); ++y) {
      QSet<QRgb> colours;
      for (int x = 0; x < image.width(); ++x)
        colours << image.pixel(x, y);
      rows += colours == QSet<QRgb>{qRgb(128, 128, 128)}   ? 'g'
              : colours == QSet<QRgb>{qRgb(255, 255, 255)} ? 'w'
                                                           : '.';
    }
    QCOMPARE(rows.count("gww."), 1);
  }

  void okEnterEscapeAndTheCloseBoxDiscardTheBox_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("OK") << 0;
    QTest::newRow("Enter") << 1;
    QTest::newRow("Escape") << 2;
    QTest::newRow("close box") << 3;
  }
  void okEnterEscapeAndTheCloseBoxDiscardTheBox() {
    QFETCH(int, way);
    frmAbout* box = Open();
    switch (way) {
      case 0:
        QTest::mouseClick(box->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        break;
      case 1:
        QTest::keyClick(box, Qt::Key_Return);
        break;
      case 2:
        QTest::keyClick(box, Qt::Key_Escape);
        break;
      default:
        box->close();
    }
    QCOMPARE(window_->AboutBox(), nullptr);
    QCOMPARE(Boxes(), 0);
    frmAbout* again = Open();  // created anew, its texts filled in again
    QCOMPARE(Text(again, "lblVersion"), QString("Version 1.0.0"));
    QCOMPARE(Boxes(), 1);
  }

  // A link that cannot be opened is reported; the box stays either way.
  void theLinksOpenTheirTargetsAndTheBoxStays() {
    frmAbout* box = Open();
    const QString mail = Text(box, "Label3");
    for (const char* label : {"Label3", "Label6", "Label7", "Label3", "Label1", "Label2", "Label4",
                              "Label5", "Label8", "picIcon", "Picture1"}) {
      Click(box, label);
    }
    QCOMPARE(dialogs_.urls, QStringList({"mailto:" + mail, Text(box, "Label6"), Text(box, "Label7"),
                                         "mailto:" + mail}));
    QVERIFY(dialogs_.messages.empty());
    dialogs_.urlsOpen = false;
    Click(box, "Label6");
    QCOMPARE(int(dialogs_.messages.size()), 1);
    QCOMPARE(dialogs_.messages[0].prompt, "Cannot open " + Text(box, "Label6") + ".");
    QCOMPARE(dialogs_.messages[0].style, 16);
    QVERIFY(box->isVisible());
  }

  void closingTheMainWindowClosesTheBox() {
    frmAbout* box = Open();
    QVERIFY(window_->close());
    QVERIFY(!box->isVisible());
  }

  // The pictures take the focus in the tab order, and the eye sees which one has it.
  void thePicturesShowTheFocus() {
    frmAbout* box = Open();
    QVERIFY(QTest::qWaitForWindowExposed(box));
    for (const char* name : {"picIcon", "Picture1"}) {
      QLabel* picture = box->findChild<QLabel*>(name);
      QVERIFY(!picture->pixmap().isNull());
      const QImage unfocused = picture->grab().toImage();
      QTest::keyClick(box, Qt::Key_Tab);  // from OK on: the style marks a focus that keys moved
      QTRY_VERIFY(picture->hasFocus());
      QVERIFY(picture->grab().toImage() != unfocused);
    }
  }
};

QTEST_MAIN(FrmAboutTest)
#include "FrmAboutTest.moc"
