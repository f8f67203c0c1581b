#pragma once

#include <QFile>
#include <QStringList>
#include <QTest>
#include <QUrl>
#include <memory>
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
  QString ChooseFileToOpen(QWidget*, const QString& title, const QStringList&) override {
    openTitles << title;
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
  QStringList urls;
};

inline void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  file.write(bytes);
}

inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A main window (or a window made from it) on the screen, answering from `dialogs`.
template <class Window, class... More>
std::unique_ptr<Window> ShowWindow(ScriptedWindowDialogs& dialogs, More&... more) {
  dialogs = ScriptedWindowDialogs();
  auto window = std::make_unique<Window>(dialogs, more...);
  window->show();
  if (!QTest::qWaitForWindowExposed(window.get())) qFatal("the window does not show");
  return window;
}
