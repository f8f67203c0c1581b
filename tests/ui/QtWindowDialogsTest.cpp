// The real Qt input dialog behind the window's dialog interface, shown and answered. (What
// a message box says is heard in Orca's session.)
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "QtWindowDialogs.h"

class QtWindowDialogsTest : public QObject {
  Q_OBJECT

 private:
  // Runs `answer` on the input dialog as soon as it shows.
  void WhenShown(const std::function<void(QInputDialog*)>& answer) {
    timer_.disconnect();
    connect(&timer_, &QTimer::timeout, [answer] {
      auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      answer(dialog);
    });
    timer_.setSingleShot(true);
    timer_.start(0);
  }

  QTimer timer_;

 private slots:
  void anInputBoxGivesTheTypedTextOrNothingOnCancel() {
    WhenShown([](QInputDialog* dialog) {
      QCOMPARE(dialog->labelText(), QString("Change to what value?"));
      QCOMPARE(dialog->textValue(), QString());
      dialog->setTextValue(
          QString::fromUtf8(" f\xC3\xBC"
                            "nf"));
      dialog->accept();
    });
    QCOMPARE(QtWindowDialogs().AskForText(nullptr, "Change to what value?", "Hey, Dude!"),
             QString::fromUtf8(" f\xC3\xBCnf"));
    WhenShown([](QInputDialog* dialog) {
      dialog->setTextValue("5");
      dialog->reject();
    });
    QCOMPARE(QtWindowDialogs().AskForText(nullptr, "Change to what value?", "Hey, Dude!"),
             QString());
  }
};

QTEST_MAIN(QtWindowDialogsTest)
#include "QtWindowDialogsTest.moc"
