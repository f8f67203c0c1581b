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
  void aMessageBoxShowsItsTextTitleAndIconUntilDismissed() {
    const std::pair<int, QMessageBox::Icon> styles[] = {
        {64, QMessageBox::Information}, {16, QMessageBox::Critical}, {48, QMessageBox::Warning}};
    for (const auto& [style, icon] : styles) {
      QString seen;
      WhenShown<QMessageBox> dismiss([&](QMessageBox* box) {
        seen = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon()) + "|" +
               QString::number(box->buttons().size()) + "|" +
               QString::number(box->iconPixmap().isNull());
        box->button(QMessageBox::Ok)->click();
      });
      QtWindowDialogs().ShowMessage(nullptr, "Load a <b>worldsave</b>", style, "Hey, Dude!");
      QCOMPARE(seen, QString("Hey, Dude!|Load a <b>worldsave</b>|%1|1|0").arg(icon));
    }
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
