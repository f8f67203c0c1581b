// The real Qt dialogs behind the window's dialog interface, shown and answered.
#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "QtWindowDialogs.h"

class QtWindowDialogsTest : public QObject {
  Q_OBJECT

 private:
  // Runs `answer` on the modal dialog as soon as it shows, for as long as it lives.
  template <class Dialog>
  class WhenShown {
   public:
    template <class Answer>
    explicit WhenShown(Answer answer) {
      timer_.setSingleShot(true);
      QObject::connect(&timer_, &QTimer::timeout, [answer] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        answer(dialog);
      });
      timer_.start(0);
    }

   private:
    QTimer timer_;
  };

 private slots:
  void aMessageBoxShowsItsTextTitleAndIconUntilDismissed_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("icon");
    QTest::newRow("information") << 64 << int(QMessageBox::Information);
    QTest::newRow("stop") << 16 << int(QMessageBox::Critical);
    QTest::newRow("exclamation") << 48 << int(QMessageBox::Warning);
  }
  void aMessageBoxShowsItsTextTitleAndIconUntilDismissed() {
    QFETCH(int, style);
    QFETCH(int, icon);
    QString seen;
    WhenShown<QMessageBox> dismiss([&](QMessageBox* box) {
      seen = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon()) + "|" +
             QString::number(box->buttons().size()) + "|" +
             (box->iconPixmap().isNull() ? "no picture" : "a picture");
      box->button(QMessageBox::Ok)->click();
    });
    QtWindowDialogs().ShowMessage(nullptr, "Load a <b>worldsave</b>", style, "Hey, Dude!");
    QCOMPARE(seen, "Hey, Dude!|Load a <b>worldsave</b>|" + QString::number(icon) + "|1|a picture");
  }

  void anInputBoxGivesTheTypedTextOrNothingOnCancel() {
    WhenShown<QInputDialog> type([](QInputDialog* dialog) {
      QCOMPARE(dialog->labelText(), QString("Change to what value?"));
      QCOMPARE(dialog->textValue(), QString());
      dialog->setTextValue(
          QString::fromUtf8(" f\xC3\xBC"
                            "nf"));
      dialog->accept();
    });
    QCOMPARE(QtWindowDialogs().AskForText(nullptr, "Change to what value?", "Hey, Dude!"),
             QString::fromUtf8(" f\xC3\xBCnf"));
    WhenShown<QInputDialog> cancel([](QInputDialog* dialog) {
      dialog->setTextValue("5");
      dialog->reject();
    });
    QCOMPARE(QtWindowDialogs().AskForText(nullptr, "Change to what value?", "Hey, Dude!"),
             QString());
  }
};

QTEST_MAIN(QtWindowDialogsTest)
#include "QtWindowDialogsTest.moc"
