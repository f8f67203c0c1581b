#pragma once

#include <chrono>

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include "Dialogs.h"
#include "PassRunner.h"
#include "ProgressSink.h"
#include "WindowModel.h"
#include "WindowView.h"

class QAction;
class QLabel;
class QPushButton;
class Announcer;
class ButtonKeys;
class ProgressBarView;
class ValueLabel;
class WindowDialogs;
class frmAbout;

// The program's one working window: the face of the WindowModel, the sink of the passes'
// progress, and the place where every command starts.
class FrmMain : public QMainWindow,
                public duskmend::WindowView,
                public duskmend::ProgressSink,
                public duskmend::Dialogs {
  Q_OBJECT

 public:
  // `dialogs` and `fs` must outlive the window.
  explicit FrmMain(WindowDialogs& dialogs, duskmend::FileSystem& fs = duskmend::SystemFileSystem());
  ~FrmMain() override;

  // One handler for each control and event; each runs one operation.
  void Command1_Click();
  void mf_open_Click();
  void mf_exit_Click();
  void Command7_Click();
  void Command3_Click();
  void me_removesse_Click();
  void Command4_Click();
  void me_changesse_Click();
  void Command5_Click();
  void m_about_Click();
  void Command6_Click();
  void Form_Unload(QCloseEvent* event);
  // A request of the system to end the program (SIGTERM, a closed console): the exit
  // command, even while a dialog is open; no further dialog opens.
  void SystemExitRequest();

  // WindowView
  void ShowPathText(const std::string& text) override;
  void ShowLightsCount(const std::string& text) override;
  void ShowSectorsCount(const std::string& text) override;
  void ShowStatusText(const std::string& text) override;
  void ShowBarWidth(float width) override;

  // ProgressSink
  void SetBarWidth(float width) override;
  void SetStatusText(const std::string& text) override;
  void YieldToEvents() override;
  void YieldToEventsAtEnd() override;
  void KeepAlive() override;
  bool KeepsAlive() const override { return true; }

  // Dialogs
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override;
  std::string AskForText(const std::string& prompt, const std::string& title) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  using Pass = duskmend::PassOutcome (duskmend::PassRunner::*)();

  void CreateControls();
  void CreateMenus();
  void ConnectCommands();

  void OpenCommand();
  void AboutCommand();
  void ExitCommand();
  void RunPass(Pass pass);
  void EnablePassCommands(bool enabled, QWidget* keep = nullptr);
  // Has a screen reader say `text`, a moment after the command's own events, once the window
  // is the active one.
  void Announce(const QString& text);
  void SayAnnouncement();
  // Lets a screen reader catch up with a dialog just closed before another one opens.
  void WaitForScreenReader();

  WindowDialogs& dialogs_;
  duskmend::WindowModel model_;
  duskmend::PassRunner runner_;
  QPointer<frmAbout> about_;
  bool exitPending_ = false;  // the exit command waits for the running pass to stop
  bool ending_ = false;       // the system asked the program to end
  static constexpr qint64 kEventPeriodNs = 1000000;
  QElapsedTimer sinceEvents_;  // since the window last handled its events

  QPushButton* Command1 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* Command6 = nullptr;
  QPushButton* Command7 = nullptr;
  QLabel* Label1 = nullptr;
  ValueLabel* Label5 = nullptr;
  ValueLabel* Label6 = nullptr;
  ProgressBarView* bar_ = nullptr;    // Shape2, Shape1 and lStatus
  ButtonKeys* buttonKeys_ = nullptr;  // Enter and the access keys of the buttons
  Announcer* announcer_ = nullptr;    // what a screen reader says at the end of a command
  QString announcement_;              // to be said after kAnnounceAfter
  QTimer announceTimer_;
  static constexpr std::chrono::milliseconds kAnnounceAfter{400};
  QAction* mf_open = nullptr;
  QAction* mf_exit = nullptr;
  QAction* me_removesse = nullptr;
  QAction* me_changesse = nullptr;
  QAction* m_about = nullptr;
};
