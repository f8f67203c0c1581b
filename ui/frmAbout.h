#pragma once

#include <QDialog>
#include <QUrl>

class Announcer;
class WindowDialogs;

// The About box: the program's title, version and description, the author's contact
// details with three links, and the backup warning. It lives from the about command until
// it is closed.
class frmAbout : public QDialog {
  Q_OBJECT

 public:
  // `dialogs` must outlive the box.
  frmAbout(WindowDialogs& dialogs, QWidget* parent);

  void Form_Load();
  void cmdOK_Click();
  void Label3_Click();
  void Label6_Click();
  void Label7_Click();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void CreateControls();
  void StartLink(const QUrl& target);

  WindowDialogs& dialogs_;
  Announcer* announcer_ = nullptr;
  bool announced_ = false;
};
