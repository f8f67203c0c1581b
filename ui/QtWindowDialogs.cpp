#include "QtWindowDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "Dialogs.h"

void QtWindowDialogs::ShowMessage(QWidget* parent, const QString& prompt, int style,
                                  const QString& title) {
  const QMessageBox::Icon icon = style == duskmend::kStyleCritical      ? QMessageBox::Critical
                                 : style == duskmend::kStyleExclamation ? QMessageBox::Warning
                                                                        : QMessageBox::Information;
  QMessageBox box(icon, title, prompt, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);  // a path is text, never markup
  box.exec();
}

QString QtWindowDialogs::AskForText(QWidget* parent, const QString& prompt, const QString& title) {
  QInputDialog dialog(parent);
  dialog.setWindowTitle(title);
  dialog.setLabelText(prompt);
  dialog.setInputMode(QInputDialog::TextInput);
  return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

QString QtWindowDialogs::ChooseFileToOpen(QWidget* parent, const QString& title,
                                          const QStringList& filters) {
  QString path =
      QFileDialog::getOpenFileName(parent, title, QString(), filters.join(QStringLiteral(";;")));
  // Qt may miss the focus coming back to the window as the dialog closes (seen under openbox,
  // Enter pressed while the file name's completion list showed): its window has the system's
  // focus, yet no widget takes a key, and Tab moves nothing until a click.
  QWidget* window = parent->window();
  if (!QApplication::activeWindow() && QGuiApplication::focusWindow() == window->windowHandle())
    QApplication::setActiveWindow(window);
  return path;
}

bool QtWindowDialogs::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }
