#pragma once

#include "WindowDialogs.h"

// The window system's own dialogs.
class QtWindowDialogs : public WindowDialogs {
 public:
  void ShowMessage(QWidget* parent, const QString& prompt, int style,
                   const QString& title) override;
  QString AskForText(QWidget* parent, const QString& prompt, const QString& title) override;
  QString ChooseFileToOpen(QWidget* parent, const QString& title,
                           const QStringList& filters) override;
  bool OpenUrl(const QUrl& url) override;
};
