#include "FrmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <utility>

#include "Announcer.h"
#include "AppIcons.h"
#include "AppInfo.h"
#include "ProgressBarView.h"
#include "ScanCounts.h"
#include "ValueLabel.h"
#include "WindowDialogs.h"
#include "frmAbout.h"

namespace {

// All Files matches every name here, where "*.*" would miss the names without a dot.
const QStringList kOpenFilters = {"Sphereworld.scp (sphereworld.scp)", "Spherescripts (*.scp)",
                                  "All Files (*)"};

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

FrmMain::FrmMain(WindowDialogs& dialogs, duskmend::FileSystem& fs)
    : dialogs_(dialogs), runner_(model_, *this, *this, fs) {
  setObjectName("FrmMain");
  setWindowTitle(QString("%1 v%2.%3")
                     .arg(app_info::kTitle)
                     .arg(app_info::kVersionMajor)
                     .arg(app_info::kVersionMinor));
  setWindowIcon(AppIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  CreateControls();
  CreateMenus();
  ConnectCommands();
  announceTimer_.setSingleShot(true);
  connect(&announceTimer_, &QTimer::timeout, this, &FrmMain::SayAnnouncement);
  model_.Attach(this);
  setFixedSize(centralWidget()->width(),
               centralWidget()->height() + menuBar()->sizeHint().height());
  Command1->setFocus();
}

FrmMain::~FrmMain() { model_.Attach(nullptr); }

void FrmMain::Command1_Click() { OpenCommand(); }
void FrmMain::mf_open_Click() { OpenCommand(); }
void FrmMain::mf_exit_Click() { ExitCommand(); }
void FrmMain::Command7_Click() { RunPass(&duskmend::PassRunner::AnalysisPass); }
void FrmMain::Command3_Click() { RunPass(&duskmend::PassRunner::RemovePass); }
void FrmMain::me_removesse_Click() { RunPass(&duskmend::PassRunner::RemovePass); }
void FrmMain::Command4_Click() { RunPass(&duskmend::PassRunner::ChangePass); }
void FrmMain::me_changesse_Click() { RunPass(&duskmend::PassRunner::ChangePass); }
void FrmMain::Command5_Click() { AboutCommand(); }
void FrmMain::m_about_Click() { AboutCommand(); }
void FrmMain::Command6_Click() { ExitCommand(); }

void FrmMain::closeEvent(QCloseEvent* event) { Form_Unload(event); }

void FrmMain::Announce(const QString& text) {
  announcement_ = text;
  // A screen reader drops what it is told while it is behind with the events of a command (a
  // pass's progress, a path typed into the file dialog): it is told once it has caught up.
  announceTimer_.start(kAnnounceAfter);
}

void FrmMain::SayAnnouncement() {
  // Orca drops what a window says that is not the active one (the file dialog has just closed,
  // a message box is open, the system is slow to give the focus back): it waits until it is.
  if (!isActiveWindow()) return;
  if (!announcement_.isEmpty()) announcer_->Say(std::exchange(announcement_, QString()));
}

void FrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !announcement_.isEmpty())
    announceTimer_.start(kAnnounceAfter);
}

void FrmMain::WaitForScreenReader() {
  QEventLoop wait;
  QTimer waited;
  waited.setSingleShot(true);
  connect(&waited, &QTimer::timeout, &wait, &QEventLoop::quit);
  waited.start(kAnnounceAfter);
  wait.exec(QEventLoop::ExcludeUserInputEvents);  // a key waits for the box
}

void FrmMain::Form_Unload(QCloseEvent* event) {
  if (runner_.Running()) {
    // The pass stops at its next yield, leaving the save untouched or completely replaced;
    // the window closes as soon as it has.
    exitPending_ = true;
    runner_.RequestStop();
    event->ignore();
    return;
  }
  if (about_) about_->close();
  event->accept();
}

void FrmMain::OpenCommand() {
  if (runner_.Running()) return;  // the save of a running pass stays loaded
  const QString path = dialogs_.ChooseFileToOpen(this, "Open sphereworld.scp...", kOpenFilters);
  if (path.isEmpty()) return;
  model_.SetPathText(QDir::toNativeSeparators(path).toStdString());
  Announce(Text(model_.PathText()));
}

void FrmMain::AboutCommand() {
  if (!about_) {
    about_ = new frmAbout(dialogs_, this);
    connect(about_, &QDialog::finished, this, [this] { about_ = nullptr; });
  }
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void FrmMain::ExitCommand() { close(); }

void FrmMain::SystemExitRequest() {
  ending_ = true;
  // Each dialog ends as if cancelled; a pass that asked for it goes on to its next yield.
  while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
    if (!dialog->isVisible()) break;
    dialog->done(QDialog::Rejected);
  }
  ExitCommand();
}

void FrmMain::RunPass(Pass pass) {
  if (runner_.Running()) return;  // one pass at a time: a command pressed again does nothing
  // The command that started the pass keeps the focus, so that no key pressed meanwhile
  // reaches another one.
  QWidget* focused = focusWidget();
  EnablePassCommands(false, focused);
  const duskmend::PassOutcome outcome = (runner_.*pass)();
  EnablePassCommands(true);
  if (focused) focused->setFocus();
  // The end of a pass is said without the user moving: its outcome and both counts.
  if (outcome == duskmend::PassOutcome::kDone || outcome == duskmend::PassOutcome::kFailed) {
    const QString status =
        outcome == duskmend::PassOutcome::kDone ? QString("Ready") : Text(model_.StatusText());
    Announce(QString("%1. %2 %3, %4 %5")
                 .arg(status, duskmend::kLightsCaption, Text(model_.LightsCount()),
                      duskmend::kSectorsCaption, Text(model_.SectorsCount())));
  }
  if (exitPending_) {
    exitPending_ = false;
    close();
  }
}

// While a pass runs, nothing may start another one or change the file it works on; the
// command that holds the focus stays, and does nothing meanwhile.
void FrmMain::EnablePassCommands(bool enabled, QWidget* keep) {
  for (QWidget* command : {Command1, Command3, Command4, Command7}) {
    if (command != keep) command->setEnabled(enabled);
  }
  for (QAction* command : {mf_open, me_removesse, me_changesse})
    command->setEnabled(enabled);
}

// The label shows what fits of a long path; its tooltip and description hold all of it.
void FrmMain::ShowPathText(const std::string& text) {
  const QString path = Text(text);
  Label1->setText(path);
  Label1->setToolTip(path);
  Label1->setAccessibleDescription(path);
}
void FrmMain::ShowLightsCount(const std::string& text) { Label5->SetValue(Text(text)); }
void FrmMain::ShowSectorsCount(const std::string& text) { Label6->SetValue(Text(text)); }

// A pass sets the status text and the bar width in every progress step; only a change that
// can be seen repaints.
void FrmMain::ShowStatusText(const std::string& text) { bar_->SetText(Text(text)); }
void FrmMain::ShowBarWidth(float width) { bar_->SetFillWidth(width); }

void FrmMain::SetBarWidth(float width) { model_.SetBarWidth(width); }
void FrmMain::SetStatusText(const std::string& text) { model_.SetStatusText(text); }
// A pass yields some 150,000 times on a save of a gigabyte, every few microseconds; the
// window looks at its events at most once a millisecond, which no user can tell apart.
void FrmMain::YieldToEvents() {
  if (sinceEvents_.isValid() && sinceEvents_.nsecsElapsed() < kEventPeriodNs) return;
  QCoreApplication::processEvents();
  sinceEvents_.start();
}
// What the user did before this yield decides whether the save is replaced: none is skipped.
void FrmMain::YieldToEventsAtEnd() {
  sinceEvents_.invalidate();
  YieldToEvents();
}
void FrmMain::KeepAlive() { QCoreApplication::processEvents(); }

void FrmMain::ShowMessage(const std::string& prompt, int style, const std::string& title) {
  // A box that opens while Orca still handles the Escape that closed the question before is
  // taken for the window it knew, and its text goes unread.
  if (!ending_) WaitForScreenReader();
  if (!ending_) dialogs_.ShowMessage(this, Text(prompt), style, Text(title));
}

std::string FrmMain::AskForText(const std::string& prompt, const std::string& title) {
  return ending_ ? std::string()
                 : dialogs_.AskForText(this, Text(prompt), Text(title)).toStdString();
}
