#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

// The modal dialogs and the shell hand-off that the window needs, behind one interface so
// that tests can answer them without blocking.
class WindowDialogs {
 public:
  virtual ~WindowDialogs() = default;
  // A modal message box with one OK button; style 16 shows the stop icon, 64 the information icon.
  virtual void ShowMessage(QWidget* parent, const QString& prompt, int style,
                           const QString& title) = 0;
  // A modal input box; the typed text, or an empty text when cancelled or closed.
  virtual QString AskForText(QWidget* parent, const QString& prompt, const QString& title) = 0;
  // The open-file dialog; the chosen file's full path, or an empty text when cancelled.
  virtual QString ChooseFileToOpen(QWidget* parent, const QString& title,
                                   const QStringList& filters) = 0;
  // Hands `url` to the user's programs (e-mail, web browser); false when that failed.
  virtual bool OpenUrl(const QUrl& url) = 0;
};
