#include "QtWindowDialogs.h"

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
  return QFileDialog::getOpenFileName(parent, title, QString(), filters.join(QStringLiteral(";;")));
}

bool QtWindowDialogs::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }
