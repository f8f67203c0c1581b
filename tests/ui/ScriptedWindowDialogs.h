#pragma once

#include <QStringList>
#include <QUrl>
#include <vector>

#include "WindowDialogs.h"

// Answers the window's dialogs from a script and records what they were asked.
class ScriptedWindowDialogs : public WindowDialogs {
 public:
  struct Message {
    QString prompt;
    int style;
    QString title;
  };

  void ShowMessage(QWidget*, const QString& prompt, int style, const QString& title) override {
    messages.push_back({prompt, style, title});
  }
  QString AskForText(QWidget*, const QString& prompt, const QString& title) override {
    questions << prompt + " | " + title;
    return answer;
  }
  QString ChooseFileToOpen(QWidget*, const QString& title, const QStringList& filters) override {
    openTitles << title;
    openFilters = filters;
    return files.isEmpty() ? QString() : files.takeFirst();
  }
  bool OpenUrl(const QUrl& url) override {
    urls << url.toString();
    return urlsOpen;
  }

  QStringList files;  // what the open dialogs return, one by one; then a cancel
  QString answer;
  bool urlsOpen = true;

  std::vector<Message> messages;
  QStringList questions;
  QStringList openTitles;
  QStringList openFilters;
  QStringList urls;
};
